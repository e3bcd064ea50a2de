// The atomic file writer over every kind of target and every point where a
// disk can fail: the target ends with its complete new content or exactly
// its old one, links stay links, and no temporary file is left anywhere.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include <sys/stat.h>

#include "base/atomic_file.h"
#include "base/text.h"
#include "test_support.h"

namespace fs = std::filesystem;
using nwtest::PathThing;

namespace {

struct WriterCase {
    const char* name;
    PathThing thing;
    int links;  // 0: written at the thing, 1: through a relative link, 2: through a link to an absolute link
    FileWriteFault fault;
    bool streamed;       // 4096-byte pieces through AtomicFile, else WriteFileAtomically
    const char* reason;  // nullptr: the write succeeds; "": abandoned before Commit
    Durability durability = Durability::OnDisk;
};

constexpr long long kSize = 150000;  // more than two of the writer's buffers

const WriterCase kCases[] = {
    {"NewFile", PathThing::Nothing, 0, {}, true, nullptr},
    {"ReplacesFile", PathThing::File, 0, {}, false, nullptr},
    {"ThroughLink", PathThing::File, 1, {}, true, nullptr},
    {"ThroughLinkChain", PathThing::File, 2, {}, false, nullptr},
    {"DanglingLinkMakesItsFile", PathThing::Nothing, 1, {}, true, nullptr},
    {"ShortWrites", PathThing::File, 0, {.writeSize = 7}, true, nullptr},
    {"DiskFullJustAfterTheLastByte", PathThing::File, 1, {.afterBytes = kSize}, false, nullptr},
    {"ReadOnlyFile", PathThing::ReadOnlyFile, 0, {}, true, "Datei schreibgeschützt"},
    {"ReadOnlyBehindLink", PathThing::ReadOnlyFile, 1, {}, false, "Datei schreibgeschützt"},
    {"Directory", PathThing::Directory, 0, {}, false, "Ziel ist keine Datei"},
    {"LinkToDirectory", PathThing::Directory, 1, {}, true, "Ziel ist keine Datei"},
    {"NamedPipe", PathThing::NamedPipe, 0, {}, false, "Ziel ist keine Datei"},
    {"DiskFullAtFirstByte", PathThing::File, 0, {.afterBytes = 0}, true, "Datenträger voll"},
    {"DiskFullAfterOneByte", PathThing::Nothing, 0, {.afterBytes = 1}, false, "Datenträger voll"},
    {"DiskFullMidFile", PathThing::File, 0, {.afterBytes = kSize / 2}, true, "Datenträger voll"},
    {"DiskFullAtLastByte", PathThing::File, 1, {.afterBytes = kSize - 1, .writeSize = 1000}, true, "Datenträger voll"},
    {"NoRightToCreate", PathThing::File, 0, {.step = FileWriteStep::Create, .error = EACCES}, true,
     "Keine Schreibberechtigung"},
    {"QuotaWhileWriting", PathThing::File, 1, {.step = FileWriteStep::Write, .error = EDQUOT}, false,
     "Datenträger voll"},
    {"SyncFails", PathThing::Nothing, 0, {.step = FileWriteStep::Sync, .error = EIO}, true, "Ein-/Ausgabefehler"},
    {"RenameFails", PathThing::File, 0, {.step = FileWriteStep::Rename, .error = EROFS}, true,
     "Datenträger schreibgeschützt"},
    {"AbandonedWithoutCommit", PathThing::File, 0, {}, true, ""},
    // Handed to the system without waiting for the disk: no sync is made,
    // every other failure still leaves the target as it was.
    {"HandedMakesNoSync", PathThing::File, 1, {.step = FileWriteStep::Sync, .error = EIO}, true, nullptr,
     Durability::Handed},
    {"HandedOnAFullDisk", PathThing::File, 0, {.afterBytes = kSize / 2}, true, "Datenträger voll",
     Durability::Handed},
    {"HandedRenameFails", PathThing::Nothing, 0, {.step = FileWriteStep::Rename, .error = EROFS}, true,
     "Datenträger schreibgeschützt", Durability::Handed},
};

void PrintTo(const WriterCase& c, std::ostream* os) { *os << c.name; }

class BaseAtomicFile : public ::testing::TestWithParam<WriterCase> {
protected:
    void SetUp() override { oldMask_ = ::umask(022); }
    void TearDown() override
    {
        SetFileWriteFault({});
        ::umask(oldMask_);
    }
    nwtest::TempDir dir_;
    mode_t oldMask_ = 0;
};

TEST_P(BaseAtomicFile, CompleteOrUntouched)
{
    const WriterCase& c = GetParam();
    const std::string old = "alter Inhalt\n";
    std::string fresh;
    for (long long i = 0; i < kSize; ++i)
        fresh.push_back(static_cast<char>(i * 7 % 251));
    fs::create_directory(dir_ / "real");
    const fs::path file = c.links ? dir_ / "real" / "ziel" : dir_ / "ziel";
    nwtest::MakePathThing(c.thing, file, old);
    if (c.links == 2)
        fs::create_symlink(file, dir_ / "zwischen");
    if (c.links)
        fs::create_symlink(c.links == 2 ? "zwischen" : "real/ziel", dir_ / "ziel");
    const bool existed = fs::is_regular_file(file);
    auto expected = nwtest::DirectoryTree(dir_.path());

    SetFileWriteFault(c.fault);
    bool ok;
    std::u16string reason;
    const std::string path = (dir_ / "ziel").native();
    if (c.streamed) {
        AtomicFile out;
        ok = out.Open(path);
        for (std::size_t at = 0; ok && at < fresh.size(); at += 4096)
            ok = out.Write(std::string_view(fresh).substr(at, 4096));
        ok = ok && !(c.reason && !*c.reason) && out.Commit(c.durability);
        reason = out.Reason();
    } else {
        ok = WriteFileAtomically(path, fresh, &reason);
    }
    SetFileWriteFault({});

    EXPECT_EQ(ok, c.reason == nullptr);
    EXPECT_EQ(Utf16ToUtf8(reason), c.reason ? c.reason : "");
    if (ok && !existed)
        expected.push_back(file.lexically_relative(dir_.path()).string() + " f");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(nwtest::DirectoryTree(dir_.path()), expected) << "a link was replaced or a temporary file left";
    struct stat now {};
    ::stat(file.c_str(), &now);
    if (ok) {
        EXPECT_EQ(nwtest::ReadFileBytes(file), fresh);
        EXPECT_EQ(now.st_mode & 07777, existed ? 0640u : 0644u);
    } else if (existed) {
        EXPECT_EQ(nwtest::ReadFileBytes(file), old);
    }
}

INSTANTIATE_TEST_SUITE_P(Targets, BaseAtomicFile, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
