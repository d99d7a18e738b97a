// The main window of a test, with its folder, a scripted prompter and the helpers that drive it as
// a person would.
#pragma once

#include <QCheckBox>
#include <QTableView>
#include <QTreeWidget>

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "T_Main.h"
#include "T_Option.h"
#include "contacts_fixture.h"
#include "scripted_prompter.h"
#include "sms_fixture.h"
#include "temp_dir.h"

namespace pc::testing {

struct WindowFixture {
    TempDir dir;
    ScriptedPrompter prompter;
    std::vector<QUrl> opened;
    bool openWorks = true;  // false: no browser nor file manager
    std::unique_ptr<TMain> window;
    // 0: every sort, search and grouping runs off the window's thread, as a million rows' do.
    std::size_t inlineListRows = 50000;

    WindowFixture() { make(); }
    void make() {
        window.reset();
        MainWindowOptions o;
        o.appDir = dir.path().string() + "/";
        o.inlineListRows = inlineListRows;
        o.openUrl = [this](const QUrl& url) {
            opened.push_back(url);
            return openWorks;
        };
        window = std::make_unique<TMain>(o, prompter);
    }
    template <typename T>
    T* child(const char* name) {
        T* w = window->findChild<T*>(name);
        if (!w) qFatal("no child %s", name);
        return w;
    }
    QCheckBox* box(int n) {
        return child<QCheckBox>(QString("CheckBox%1").arg(n).toUtf8().constData());
    }
    // Picks `path` in the dialog and presses "扫描".
    void run(const std::string& path, std::optional<std::array<bool, 3>> ticks = {}) {
        prompter.files.push_back(path);
        window->scanDialog().BitBtn1Click();
        if (ticks)
            for (int i = 0; i < 3; ++i)
                box(i + 1)->setChecked((*ticks)[i]);
        window->scanDialog().BitBtn2Click();
    }
    QStringList treeTexts() {
        QStringList out;
        auto* tree = child<QTreeWidget>("TreeView1");
        for (int i = 0; i < tree->topLevelItemCount(); ++i) {
            QTreeWidgetItem* root = tree->topLevelItem(i);
            out << root->text(0);
            for (int c = 0; c < root->childCount(); ++c)
                out << root->child(c)->text(0);
        }
        return out;
    }
    // The messages of the window's log, oldest first.
    QStringList logMessages() {
        QStringList out;
        auto* log = child<QTreeWidget>("ListView2");
        for (int i = 0; i < log->topLevelItemCount(); ++i)
            out << log->topLevelItem(i)->text(3);
        return out;
    }
    QStringList headings() {
        QStringList out;
        auto* model = child<QTableView>("ListView1")->model();
        for (int c = 0; c < model->columnCount(); ++c)
            out << model->headerData(c, Qt::Horizontal).toString();
        return out;
    }
    QStringList column(int c) {
        QStringList out;
        auto* model = child<QTableView>("ListView1")->model();
        for (int r = 0; r < model->rowCount(); ++r)
            out << model->index(r, c).data().toString();
        return out;
    }

    static std::string smsDb(const TempDir& dir, int messages = 120) {
        fixtures::SmsDbOptions o;
        o.messages = messages;
        o.seed = 11;
        o.wordIndex = messages <= 1000;  // a big word index only makes the fixture slow
        const std::string path = dir.file("mmssms.db");
        fixtures::buildSmsDatabase(path, o);
        return path;
    }
    static std::string contactsDb(const TempDir& dir) {
        fixtures::ContactsDbOptions o;
        o.contacts = 40;
        const std::string path = dir.file("contacts2.db");
        fixtures::buildContactsDatabase(path, o);
        fixtures::CallsDbOptions calls;
        calls.currentLayout = false;
        calls.calls = 40;
        fixtures::buildCallsDatabase(path, calls, true);
        return path;
    }
};

}  // namespace pc::testing
