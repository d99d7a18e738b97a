#include "category_scanner.h"

#include <algorithm>
#include <filesystem>

#include "SQLiteTable3.h"
#include "database_image.h"
#include "file_error.h"

namespace pc {

namespace {

constexpr const char* kInvalidFile = "无效的数据文件！";
constexpr const char* kOpenDeviceError = "Open the device error......";
constexpr const char* kReadDeviceError = "Read then device error......";

// A pulled phone copy is removed by the last scan of the run that reads it.
bool lastReaderOfSource(const RunGlobals& run) {
    const auto self = std::find(run.ScanQueue.begin(), run.ScanQueue.end(), run.CurrentCategory);
    if (self == run.ScanQueue.end()) return true;
    return std::none_of(self + 1, run.ScanQueue.end(), [&](CategoryCode later) {
        return sourcePathSlot(later) == sourcePathSlot(run.CurrentCategory);
    });
}

}  // namespace

ScanOutcome CategoryScanner::run(ScanHost& host, ResultStore& store, ScanState& state,
                                 const RunGlobals& run) {
    host_ = &host;
    store_ = &store;
    state_ = &state;
    found_ = deleted_ = 0;
    countChanged_ = false;

    state.ScanHalted = 0;
    host.clearRows();
    host.addCategoryBranch(code());
    store.beginCategory(code());
    beginScan();
    host.log("扫描... ");
    host.setStatus(0, "正在扫描...");
    host.setCommandState(CommandState::Scanning);

    ScanOutcome outcome;
    try {
        outcome = carveAll(run);
    } catch (const FileError& e) {
        host.showError(e.what());
        outcome = endEarly();
    } catch (const ESQLiteException& e) {
        host.showError(e.what());
        outcome = endEarly();
    }
    if (outcome == ScanOutcome::Completed) finish(run);
    return outcome;
}

ScanOutcome CategoryScanner::carveAll(const RunGlobals& run) {
    const ImageLoad load = loadDatabaseImage(run.CurrentDbLongPath);
    if (load.headerRead == SectorRead::OpenFailed)
        host_->showMessage(kOpenDeviceError, "information", MessageIcon::Error);
    if (load.headerRead != SectorRead::Ok || load.imageReadFailed)
        host_->showMessage(kReadDeviceError, "提示", MessageIcon::Error);
    if (!load.image) {
        message(kInvalidFile);
        return endEarly();
    }

    std::string sql;
    {
        TSQLiteDatabase db(run.CurrentDbPath);
        if (!db.HasTable(params().table)) {
            message(texts().missingTable);
            return endEarly();
        }
        readExtras(db);
        sql = db.TableSql(params().table);
    }
    if (sql.empty() || !extrasUsable()) {
        message(texts().emptyDefinition);
        return endEarly();
    }
    const ColumnSignature signature = buildSignature(sql, params());
    wanted_ = signature.wantedIndex;

    const DatabaseImage& image = *load.image;
    host_->setProgressRange(image.pageCount() > 0 ? image.pageCount() - 1 : 0);
    RecordCarver carver(signature, refusedRequiredInt());
    carver.carve(image, *this);
    afterCarve();
    return ScanOutcome::Completed;
}

bool CategoryScanner::onPage(std::uint32_t pageIndex) {
    flushCount();
    host_->pageReached(pageIndex);
    return state_->ScanHalted == 0;
}

void CategoryScanner::pump() {
    flushCount();
    host_->pumpEvents();
}

void CategoryScanner::flushCount() {
    if (!countChanged_) return;
    countChanged_ = false;
    host_->setStatus(2, "找到 " + std::to_string(found_) + " 条" + texts().noun + ", " +
                            std::to_string(deleted_) + "条删除");
}

void CategoryScanner::message(const char* text) {
    host_->showMessage(text, "提示", MessageIcon::Information);
}

ScanOutcome CategoryScanner::endEarly() {
    state_->ScanHalted = 1;
    host_->setCommandState(CommandState::Idle);
    return ScanOutcome::EndedEarly;
}

void CategoryScanner::finish(const RunGlobals& run) {
    flushCount();
    host_->setStatus(0, "扫描完成");
    host_->log("扫描完成,共找到 " + std::to_string(found_) + " 条" + texts().noun + ", 其中有" +
               std::to_string(deleted_) + "条删除");
    host_->setBranchCounts(found_, deleted_);
    state_->ScanHalted = 1;
    host_->setCommandState(CommandState::Idle);
    if (run.source == ScanSource::Phone && lastReaderOfSource(run)) {
        std::error_code ignored;
        std::filesystem::remove(run.CurrentDbPath, ignored);
    }
}

}  // namespace pc
