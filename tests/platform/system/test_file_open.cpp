// The one way files are opened to be read: a regular file opens, and a FIFO, a device or a
// socket in its place is refused at once with one report line, whichever reader asks.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <functional>
#include <future>
#include <sstream>

#include "platform/system/FileOpen.h"
#include "platform/system/PathResolver.h"
#include "tests/support/ScratchGame.h"

namespace fs = std::filesystem;

namespace {

const char* Name(FileRead r) {
    static const char* const names[] = {"Ok", "Missing", "Unreadable", "TooLarge"};
    return names[static_cast<int>(r)];
}

std::string Opened(const std::string& game, const fs::path& disk) {
    int fd = -1;
    struct stat st {};
    const FileRead r = OpenReadFile(disk, fd, st, game);
    if (fd >= 0) ::close(fd);
    return std::string(Name(r)) + (fd >= 0 ? " " + std::to_string(st.st_size) + " bytes" : "");
}

} // namespace

// Each kind of name through the routine, then each reader of the game's files on a FIFO: one
// line per refusal (none for the look ahead of a stage's load, whose load says it), and no
// read waits for a writer. A read that does is let go by opening the FIFO to write, so that
// the test fails instead of hanging.
TEST(FileOpen, OnlyARegularFileOpensAndEveryReaderRefusesTheRestAtOnce) {
    ScratchGame game;
    const fs::path root = game.Dir();
    game.Write("plain.dat", "abc");
    game.Write("empty.dat", "");
    fs::create_symlink("plain.dat", root / "link.dat");
    fs::create_directory(root / "folder.dat");
    fs::create_symlink("loop.dat", root / "loop.dat");
    ASSERT_EQ(::mkfifo((root / "fifo.dat").c_str(), 0600), 0);
    fs::create_symlink("fifo.dat", root / "fifolink.dat");
    fs::create_symlink("/dev/zero", root / "zero.dat");
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, (root / "sock.dat").c_str(), sizeof addr.sun_path - 1);
    ASSERT_EQ(::bind(sock, reinterpret_cast<const sockaddr*>(&addr), sizeof addr), 0);
    ::close(sock);

    std::vector<std::pair<std::string, std::function<std::string()>>> reads;
    for (const char* name : {"plain.dat", "empty.dat", "link.dat", "none.dat", "folder.dat", "loop.dat", "fifo.dat",
                             "fifolink.dat", "zero.dat", "sock.dat"})
        reads.emplace_back(name, [=] { return Opened(name, root / name); });
    reads.emplace_back("whole", [] {
        std::vector<u8> v;
        return Name(ReadWholeFile("FIFO.DAT", v));
    });
    reads.emplace_back("whole into a buffer", [] {
        cByteBuffer b;
        return Name(ReadWholeFile("fifo.dat", b));
    });
    reads.emplace_back("head", [] {
        std::vector<u8> v;
        std::size_t size = 0;
        return Name(ReadFileHead("fifo.dat", v, 16, size));
    });
    reads.emplace_back("window", [] {
        cFileSource f;
        return std::string(Name(f.Open("fifo.dat"))) + (f.IsOpen() ? " open" : "");
    });
    for (const bool quiet : {false, true})
        reads.emplace_back(quiet ? "stream, quiet" : "stream", [=] {
            FILE* f = OpenFile("fifo.dat", "rb", quiet);
            if (f) std::fclose(f);
            return f ? "opened" : "null";
        });
    reads.emplace_back("a library's own open", [=] { return IsReadableFile(root / "fifo.dat", "fifo.dat") ? "yes" : "no"; });

    std::string table;
    std::size_t seen = 0;
    for (const auto& [label, read] : reads) {
        auto done = std::async(std::launch::async, read);
        for (int i = 0; done.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready; ++i)
            if (i > 2000)
                if (const int fd = ::open((root / "fifo.dat").c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC); fd >= 0) ::close(fd);
        table += label + " | " + done.get() + " |";
        const std::string report = game.Report();
        std::istringstream lines(report.substr(seen));
        seen = report.size();
        for (std::string line; std::getline(lines, line);) table += " " + line.substr(0, line.find('\r'));
        table += "\n";
    }
    const std::string fifo = " は通常のファイルではないため読みません（FIFO）\n";
    EXPECT_EQ(table, "plain.dat | Ok 3 bytes |\n"
                     "empty.dat | Ok 0 bytes |\n"
                     "link.dat | Ok 3 bytes |\n"
                     "none.dat | Missing |\n"
                     "folder.dat | Unreadable |\n"
                     "loop.dat | Unreadable |\n"
                     "fifo.dat | Unreadable | fifo.dat" + fifo +
                     "fifolink.dat | Unreadable | fifolink.dat" + fifo +
                     "zero.dat | Unreadable | zero.dat は通常のファイルではないため読みません（デバイス）\n"
                     "sock.dat | Unreadable | sock.dat は通常のファイルではないため読みません（ソケット）\n"
                     "whole | Unreadable | FIFO.DAT" + fifo +
                     "whole into a buffer | Unreadable | fifo.dat" + fifo +
                     "head | Unreadable | fifo.dat" + fifo +
                     "window | Unreadable | fifo.dat" + fifo +
                     "stream | null | fifo.dat" + fifo +
                     "stream, quiet | null |\n"
                     "a library's own open | no | fifo.dat" + fifo);
    // A stream opens a regular file to be read only.
    FILE* f = OpenFile("plain.dat", "rb");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
    EXPECT_EQ(OpenFile("plain.dat", "wb"), nullptr);
    EXPECT_EQ(game.Read("plain.dat"), "abc");
}
