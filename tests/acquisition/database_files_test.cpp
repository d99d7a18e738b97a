// Which file each category reads, among picked files or in a phone's file-system dump.
#include <gtest/gtest.h>

#include <filesystem>

#include "contacts_fixture.h"
#include "database_files.h"
#include "temp_dir.h"

namespace pc {
namespace {

namespace fs = std::filesystem;

// A dump of an Android 10 phone: the live databases in the device-encrypted storage, older
// copies of two of them in the credential-encrypted one and in a backup folder.
TEST(DatabaseFiles, AFolderGivesTheProvidersOwnDatabasesNewestStorageFirst) {
    testing::TempDir dir;
    const std::string root = dir.file("dump");
    const std::string de = root + "/data/user_de/0/com.android.providers.";
    const std::string ce = root + "/data/data/com.android.providers.";
    fs::create_directories(de + "telephony/databases");
    fs::create_directories(de + "contacts/databases");
    fs::create_directories(ce + "telephony/databases");
    fs::create_directories(root + "/sdcard/backup");
    const auto made = fixtures::buildOneOfEach(dir.path().string(), 4096, 5);
    fs::copy_file(made[1], de + "telephony/databases/mmssms.db");
    fs::copy_file(made[1], ce + "telephony/databases/mmssms.db");
    fs::copy_file(made[1], root + "/sdcard/backup/mmssms.db");
    fs::copy_file(made[0], de + "contacts/databases/contacts2.db");
    fs::copy_file(made[2], de + "contacts/databases/calllog.db");
    fs::create_directory_symlink(root, root + "/sdcard/loop");  // not followed

    // An older phone's messages, other bytes under the same name: read too, after the provider's.
    fs::create_directories(root + "/sdcard/old");
    fs::create_directories(dir.file("older"));
    const auto older = fixtures::buildOneOfEach(dir.file("older"), 4096, 7);
    fs::copy_file(older[1], root + "/sdcard/old/mmssms.db");

    const FoundDatabases found = findDatabasesIn(root);
    using Files = std::vector<std::string>;
    EXPECT_EQ(found.paths[0], Files{de + "contacts/databases/contacts2.db"});
    EXPECT_EQ(found.paths[1],
              (Files{de + "telephony/databases/mmssms.db", root + "/sdcard/old/mmssms.db"}));
    // The call log kept apart, not contacts2.db's calls table beside it.
    EXPECT_EQ(found.paths[2], Files{de + "contacts/databases/calllog.db"});
    // Copies with the same bytes are read once.
    EXPECT_EQ(found.duplicates.size(), 2u);
    EXPECT_EQ(found.fileCount(), 4u);
    EXPECT_TRUE(found.unreadable.empty());

    const FoundDatabases none = findDatabasesIn(root, 3);  // looks at no more than 3 entries
    EXPECT_FALSE(none.any());
    EXPECT_FALSE(findDatabasesIn(dir.file("no such folder")).any());
}

TEST(DatabaseFiles, PickedFilesAreSortedByTheirTablesNotTheirNames) {
    testing::TempDir dir;
    const auto made = fixtures::buildOneOfEach(dir.path().string(), 1024, 5);
    const std::string renamed = dir.file("backup-1.sqlite");
    fs::copy_file(made[1], renamed);
    const std::string text = dir.file("notes.db");
    testing::writeBytes(text, {'h', 'i'});
    // Another phone's contacts2.db, whose call log is its own calls table.
    fs::create_directories(dir.file("other"));
    const auto other = fixtures::buildOneOfEach(dir.file("other"), 1024, 6);
    // contacts2.db first: its calls table gives way to the call log kept apart beside it.
    const std::vector<std::string> picked{made[0], text, renamed, made[2], made[1], other[0]};
    const FoundDatabases found = sortDatabases(picked);
    using Files = std::vector<std::string>;
    EXPECT_EQ(found.paths[0], (Files{made[0], other[0]}));
    EXPECT_EQ(found.paths[1], Files{renamed});
    EXPECT_EQ(found.paths[2], (Files{made[2], other[0]}));
    EXPECT_EQ(found.duplicates, Files{made[1]});  // the same bytes as the renamed copy
    EXPECT_EQ(found.unreadable, Files{text});
}

}  // namespace
}  // namespace pc
