#include "UpdateFileBuilder.h"

#include "platform/DescriptorLimit.h"
#include "platform/File.h"
#include "platform/FileException.h"
#include "platform/LastError.h"
#include "platform/StringResource.h"
#include "resources/strings/StringTable.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

using namespace zorflash;

using namespace testsupport;

namespace {

TEST(File, ByteReadsSeeksAndBlockReadsAgreeWithTheFile)
{
    TempDir dir;
    Bytes content(3 * CFile::kBufferSize + 123);
    for (size_t i = 0; i < content.size(); ++i)
        content[i] = static_cast<uint8_t>(i * 31 + (i >> 8));
    WriteFile(dir / "f.bin", content);
    CFile file;
    ASSERT_TRUE(file.Open(dir / "f.bin"));
    EXPECT_EQ(file.GetLength(), content.size());

    // Mixed reads across buffer boundaries, with seeks inside and outside the buffer.
    Bytes got(content.size());
    size_t pos = 0;
    uint32_t step = 1;
    while (pos < content.size()) {
        const uint32_t n = file.Read(got.data() + pos, step);
        ASSERT_GT(n, 0u);
        pos += n;
        step = step * 3 % 70001 + 1;
    }
    EXPECT_EQ(got, content);
    uint8_t b = 0;
    EXPECT_EQ(file.Read(&b, 1), 0u);
    for (uint64_t offset : {uint64_t{0}, uint64_t{48}, uint64_t{CFile::kBufferSize + 7}, uint64_t{5}, content.size() - 1}) {
        file.Seek(offset);
        ASSERT_EQ(file.Read(&b, 1), 1u);
        EXPECT_EQ(b, content[offset]) << offset;
    }
}

TEST(File, OnlyRegularFilesOpen)
{
    TempDir dir;
    CFile file;
    EXPECT_FALSE(file.Open(dir / "missing"));
    EXPECT_EQ(GetLastError(), static_cast<uint32_t>(ENOENT));
    EXPECT_FALSE(file.Open(dir.Path().string()));
    EXPECT_EQ(GetLastError(), static_cast<uint32_t>(EISDIR));
    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
    EXPECT_FALSE(file.Open(dir / "fifo"));  // must not wait for a writer
    EXPECT_FALSE(file.Open("/dev/zero"));
    EXPECT_FALSE(file.IsOpen());
}

// A terminal named as the update file must not become the controlling terminal of a
// process that has none (a session leader, as a service or a detached run is): its
// hang-up would then kill the run.
TEST(File, ATerminalNamedAsTheFileNeverBecomesTheControllingTerminal)
{
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    const std::string slave = ptsname(master);
    const pid_t child = fork();
    if (child == 0) {
        setsid();
        CFile file;
        const bool opened = file.Open(slave);
        const int tty = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
        _exit(opened ? 2 : tty >= 0 ? 1 : 0);
    }
    int status = -1;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    close(master);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: the terminal became ours; 2: it opened as a file";
}

TEST(File, ReadingAClosedFileThrowsWithTheFileName)
{
    CFile file;
    uint8_t b;
    try {
        file.Read(&b, 1);
        FAIL() << "no exception";
    } catch (const CFileException& e) {
        EXPECT_EQ(e.m_cause, CFileException::invalidFile);
    }
    CFileException e(CFileException::fileNotFound, ENOENT, "/fw/a1.R71");
    EXPECT_NE(e.GetErrorMessage(Language::English).find("/fw/a1.R71"), std::string::npos);
}

// The fleet sizes its lanes from this count: one too many and the last lane finds no
// descriptor for its volume. Checked against asking every descriptor in turn.
TEST(DescriptorLimit, FreeCountAgreesWithEveryDescriptorAskedAndFollowsWhatOpens)
{
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
    rlimit low = saved;
    low.rlim_cur = 200;
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &low), 0);
    const auto askEach = [] {
        std::size_t open = 0;
        for (int fd = 0; fd < 200; ++fd)
            open += fcntl(fd, F_GETFD) != -1 ? 1 : 0;
        return open;
    };
    std::size_t free = 0;
    std::size_t limit = 0;
    const bool counted = FreeDescriptors(free, limit);
    const std::size_t openBefore = askEach();
    int extra[5] = {};
    for (int& fd : extra)
        fd = dup(2);
    std::size_t freeAfter = 0;
    FreeDescriptors(freeAfter, limit);
    for (const int fd : extra)
        close(fd);
    setrlimit(RLIMIT_NOFILE, &saved);
    ASSERT_TRUE(counted);
    EXPECT_EQ(limit, 200u);
    EXPECT_EQ(free, 200u - openBefore);
    EXPECT_EQ(freeAfter, free - 5);
}

TEST(StringResources, BothLanguagesAndTheEnvironmentRule)
{
    EXPECT_EQ(LoadStringResource(61213, Language::English), "Heder size communication failure\r\n");
    EXPECT_EQ(LoadStringResource(61222, Language::Japanese), "通信にエラーにより中断しました。\r\n");
    EXPECT_EQ(LoadStringResource(1, Language::English), "");
    // Every numbered message of the update run exists in both languages.
    for (unsigned id = 61204; id <= 61223; ++id) {
        if (id == 61206)
            continue;
        EXPECT_FALSE(LoadStringResource(id, Language::English).empty()) << id;
        EXPECT_FALSE(LoadStringResource(id, Language::Japanese).empty()) << id;
    }
    setenv("LANG", "ja_JP.UTF-8", 1);
    unsetenv("LC_ALL");
    unsetenv("LC_MESSAGES");
    unsetenv("ZORFLASH_LANG");
    EXPECT_EQ(LanguageFromEnvironment(), Language::Japanese);
    EXPECT_EQ(LanguageFromEnvironment("en"), Language::English);
    setenv("ZORFLASH_LANG", "en", 1);
    EXPECT_EQ(LanguageFromEnvironment(), Language::English);
    unsetenv("ZORFLASH_LANG");
    setenv("LC_ALL", "C", 1);
    EXPECT_EQ(LanguageFromEnvironment(), Language::English);
    unsetenv("LC_ALL");
    unsetenv("LANG");
    EXPECT_EQ(FormatStringResource(Language::Japanese, 61219, 65), "レコード（65）を送信しています。");
    EXPECT_EQ(FormatStringResource(Language::English, 61219, 65), "Sending (65) Record");
}

// The caller's arguments are made for the English format; a Japanese format with other
// conversions would read them wrongly (or read what was never passed).
TEST(StringResources, EachJapaneseFormatTakesTheEnglishConversions)
{
    const auto conversions = [](const char* text) {
        std::string found;
        for (const char* p = text; *p; ++p) {
            if (*p != '%')
                continue;
            const size_t length = std::strspn(p + 1, "-+ #0123456789.*hlLqjzt") + 1;
            if (p[length] == '\0')
                return found + "unfinished";
            found.append(p, length + 1);
            found += ' ';
            p += length;
        }
        return found;
    };
    size_t formats = 0;
    for (const StringEntry& entry : AllStringEntries()) {
        EXPECT_EQ(conversions(entry.japanese), conversions(entry.english)) << entry.id;
        formats += conversions(entry.english).empty() ? 0 : 1;
    }
    EXPECT_GE(formats, 3u);
}

}  // namespace
