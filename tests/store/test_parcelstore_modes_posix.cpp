// The modes of the database files the store makes and finds, where files have modes.
#include "store/ParcelStore.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <sys/stat.h>

#include <filesystem>

namespace {

// Whatever the umask, a file the program makes (with the journal beside it) is its owner's alone;
// a file it finds keeps its mode.
TEST(ParcelStoreOpen, ANewFileIsPrivateAndAFoundOneKeepsItsMode)
{
    QTemporaryDir dir;
    const std::string made = dir.filePath("database.db").toStdString();
    const std::string found = dir.filePath("found.db").toStdString();
    const auto mode = [](const std::string& path) {
        struct stat info = {};
        return ::stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 07777u;
    };
    for (const mode_t umask : {mode_t(0), mode_t(0277)}) {
        const mode_t before = ::umask(umask);
        std::filesystem::remove(made);
        ParcelStore store;
        EXPECT_EQ(store.open(made), ParcelStore::OpenResult::Created);
        store.database().Execute("BEGIN");
        store.insert(Parcel::typed(QStringLiteral("RR1")));
        EXPECT_EQ(mode(made + "-journal"), 0600u) << "umask " << umask;
        store.database().Execute("COMMIT");
        EXPECT_EQ(mode(made), 0600u) << "umask " << umask;
        ::umask(before);
    }

    {
        ParcelStore store;
        ASSERT_EQ(store.open(found), ParcelStore::OpenResult::Created);
    }
    ::chmod(found.c_str(), 0644);
    ParcelStore store;
    ASSERT_EQ(store.open(found), ParcelStore::OpenResult::Opened);
    store.insert(Parcel::typed(QStringLiteral("RR2")));
    EXPECT_EQ(mode(found), 0644u);
}

} // namespace
