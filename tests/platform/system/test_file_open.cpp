// The one way files are opened to be read: a regular file opens, and a FIFO, a device or a
// socket in its place is refused at once with one report line, whichever reader asks.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <future>
#include <sstream>

#include "platform/system/FileOpen.h"
#include "platform/system/PathResolver.h"
#include "tests/support/ScratchGame.h"

namespace fs = std::filesystem;

namespace {

class FileOpenTest : public ::testing::Test {
protected:
    // The report lines written since the last call, joined by " / ".
    std::string NewLines() {
        const std::string all = m_game.Report();
        std::istringstream in(all.substr(std::min(m_seen, all.size())));
        m_seen = all.size();
        std::string out;
        for (std::string line; std::getline(in, line);) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            out += (out.empty() ? "" : " / ") + line;
        }
        return out;
    }

    // Runs a read that must not wait. One that does is let go by a writer that opens each FIFO
    // and closes it again (the reader then sees an empty pipe), so that the test fails instead
    // of hanging.
    template <class Read> auto NoWait(Read read) {
        auto result = std::async(std::launch::async, read);
        if (result.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
            ADD_FAILURE() << "the read waited on a FIFO";
            while (result.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready)
                for (const fs::path& fifo : m_fifos)
                    if (const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC); fd >= 0) ::close(fd);
        }
        return result.get();
    }

    fs::path Fifo(const std::string& name) {
        const fs::path p = m_root / name;
        EXPECT_EQ(::mkfifo(p.c_str(), 0600), 0);
        m_fifos.push_back(p);
        return p;
    }

    ScratchGame m_game;
    const fs::path m_root = m_game.Dir();
    std::vector<fs::path> m_fifos;
    std::size_t m_seen = 0;
};

const char* Name(FileRead r) {
    switch (r) {
    case FileRead::Ok: return "Ok";
    case FileRead::Missing: return "Missing";
    case FileRead::Unreadable: return "Unreadable";
    case FileRead::TooLarge: return "TooLarge";
    }
    return "?";
}

} // namespace

TEST_F(FileOpenTest, OnlyARegularFileOpensAndAnythingElseIsRefusedAtOnceWithOneLine) {
    m_game.Write("plain.dat", "abc");
    m_game.Write("empty.dat", "");
    fs::create_symlink("plain.dat", m_root / "link.dat");
    fs::create_directory(m_root / "folder.dat");
    fs::create_symlink("loop.dat", m_root / "loop.dat");
    Fifo("fifo.dat");
    fs::create_symlink("fifo.dat", m_root / "fifolink.dat");
    fs::create_symlink("/dev/zero", m_root / "zero.dat");
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(sock, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const std::string sockPath = (m_root / "sock.dat").string();
    ASSERT_LT(sockPath.size(), sizeof addr.sun_path);
    std::memcpy(addr.sun_path, sockPath.c_str(), sockPath.size() + 1);
    ASSERT_EQ(::bind(sock, reinterpret_cast<const sockaddr*>(&addr), sizeof addr), 0);

    std::string table;
    for (const char* name : {"plain.dat", "empty.dat", "link.dat", "none.dat", "folder.dat", "loop.dat", "fifo.dat",
                             "fifolink.dat", "zero.dat", "sock.dat"}) {
        const auto [read, size] = NoWait([&] {
            int fd = -1;
            struct stat st {};
            const FileRead r = OpenReadFile(m_root / name, fd, st, name);
            const long long bytes = fd >= 0 ? static_cast<long long>(st.st_size) : -1;
            if (fd >= 0) ::close(fd);
            return std::pair(r, bytes);
        });
        const std::string lines = NewLines();
        table += std::string(name) + " | " + Name(read) + " | " + std::to_string(size) + " | " + lines + "\n";
    }
    ::close(sock);
    EXPECT_EQ(table, "plain.dat | Ok | 3 | \n"
                     "empty.dat | Ok | 0 | \n"
                     "link.dat | Ok | 3 | \n"
                     "none.dat | Missing | -1 | \n"
                     "folder.dat | Unreadable | -1 | \n"
                     "loop.dat | Unreadable | -1 | \n"
                     "fifo.dat | Unreadable | -1 | fifo.dat は通常のファイルではないため読みません（FIFO）\n"
                     "fifolink.dat | Unreadable | -1 | fifolink.dat は通常のファイルではないため読みません（FIFO）\n"
                     "zero.dat | Unreadable | -1 | zero.dat は通常のファイルではないため読みません（デバイス）\n"
                     "sock.dat | Unreadable | -1 | sock.dat は通常のファイルではないため読みません（ソケット）\n");
}

// Every reader of the game's files goes through it: each refuses the FIFO with its one line
// (the look ahead of a stage's load says nothing, the load will), and none waits for a writer.
TEST_F(FileOpenTest, EveryReaderRefusesAFifoWithoutWaitingForAWriter) {
    Fifo("bgm.mid");
    const std::vector<std::pair<const char*, std::function<std::string()>>> readers = {
        {"whole", [] {
             std::vector<u8> v;
             return std::string(Name(ReadWholeFile("BGM.MID", v)));
         }},
        {"whole into a buffer", [] {
             cByteBuffer b;
             return std::string(Name(ReadWholeFile("bgm.mid", b)));
         }},
        {"head", [] {
             std::vector<u8> v;
             std::size_t size = 0;
             return std::string(Name(ReadFileHead("bgm.mid", v, 16, size)));
         }},
        {"window", [] {
             cFileSource f;
             const FileRead r = f.Open("bgm.mid");
             return std::string(Name(r)) + (f.IsOpen() ? " open" : "");
         }},
        {"stream", [] {
             FILE* f = OpenFile("bgm.mid", "rb");
             if (f) std::fclose(f);
             return std::string(f ? "opened" : "null");
         }},
        {"stream, quiet", [] {
             FILE* f = OpenFile("bgm.mid", "rb", true);
             if (f) std::fclose(f);
             return std::string(f ? "opened" : "null");
         }},
        {"library's own open", [this] { return std::string(IsReadableFile(m_root / "bgm.mid") ? "yes" : "no"); }},
    };
    std::string table;
    for (const auto& [label, read] : readers) {
        const std::string outcome = NoWait(read);
        table += std::string(label) + " | " + outcome + " | " + NewLines() + "\n";
    }
    // The report names the file as the game does.
    const std::string line = "bgm.mid は通常のファイルではないため読みません（FIFO）";
    EXPECT_EQ(table, std::string("whole | Unreadable | BGM.MID は通常のファイルではないため読みません（FIFO）\n") +
                     "whole into a buffer | Unreadable | " + line + "\n" +
                     "head | Unreadable | " + line + "\n" +
                     "window | Unreadable | " + line + "\n" +
                     "stream | null | " + line + "\n" +
                     "stream, quiet | null | \n" +
                     "library's own open | no | " + (m_root / "bgm.mid").string() + " は通常のファイルではないため読みません（FIFO）\n");
    // A regular file still opens for each, and a stream only to be read.
    m_game.Write("a.bin", "0123456789");
    FILE* f = OpenFile("A.BIN", "rb");
    ASSERT_NE(f, nullptr);
    char head[4] = {};
    EXPECT_EQ(std::fread(head, 1, 4, f), 4u);
    std::fclose(f);
    EXPECT_EQ(std::string(head, 4), "0123");
    EXPECT_EQ(OpenFile("a.bin", "r+b"), nullptr);
    EXPECT_EQ(OpenFile("a.bin", "wb"), nullptr);
    EXPECT_EQ(m_game.Read("a.bin"), "0123456789");
    EXPECT_TRUE(IsReadableFile(m_root / "a.bin"));
    EXPECT_EQ(NewLines(), "");
}
