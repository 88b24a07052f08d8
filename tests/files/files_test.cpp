#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "engine/IEngine.h"
#include "engine/files/Files.h"
#include "engine/memory/Heap.h"
#include "engine/memory/HeapRef.h"
#include "platform/os/File.h"
#include "platform/os/MessageBox.h"

namespace {

struct Message {
    std::string text, caption;
    bool operator==(const Message&) const = default;
};

void PrintTo(const Message& m, std::ostream* os) { *os << m.caption << ": " << m.text; }

const Message kOpenError{"Error opening da file!", "TFS TESSARY"};

// Each test runs in a fresh scratch directory that is also the current one.
class Files : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/tessary-files-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir = pattern;
        ASSERT_EQ(chdir(dir.c_str()), 0);
        os::SetMessageBoxHook([this](const char* text, const char* caption) {
            messages.push_back({text, caption});
        });
        engine = CreateEngine();
    }
    void TearDown() override {
        os::SetMessageBoxHook(nullptr);
        DestroyEngine(engine);
        ASSERT_EQ(chdir("/"), 0);
        std::string command = "rm -rf '" + dir + "'";
        ASSERT_EQ(std::system(command.c_str()), 0);
    }

    static void Write(const std::string& name, const std::vector<uint8_t>& bytes) {
        std::ofstream out(name, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
    }
    static std::vector<uint8_t> Bytes(size_t n) {
        std::vector<uint8_t> v(n);
        for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(i * 7 + 1);
        return v;
    }

    std::string dir;
    IEngine* engine = nullptr;
    std::vector<Message> messages;
};

TEST_F(Files, MissingFileReportsOnceAndTheInvalidHandleDoesNothing) {
    const FileHandle file = engine->FileOpen("missing.bin");
    EXPECT_EQ(file, kInvalidFileHandle);
    EXPECT_EQ(messages, std::vector<Message>{kOpenError});
    messages.clear();

    uint8_t buffer[16];
    std::memset(buffer, 0xCC, sizeof buffer);
    engine->FileRead(file, buffer, sizeof buffer);
    EXPECT_EQ(engine->FileSize(file), 0xFFFFFFFFu);
    engine->FileClose(file);
    for (uint8_t b : buffer) EXPECT_EQ(b, 0xCC);
    EXPECT_TRUE(messages.empty());
}

TEST_F(Files, NamesThatAreNotOpenableFiles) {
    ASSERT_EQ(mkdir("folder", 0755), 0);
    for (const char* name : {"folder", "", "folder\\missing.bin", "missing\\"}) {
        EXPECT_EQ(engine->FileOpen(name), kInvalidFileHandle) << name;
        EXPECT_EQ(messages, std::vector<Message>{kOpenError}) << name;
        messages.clear();
    }
}

TEST_F(Files, BackslashSeparatesFoldersAndRelativeNamesUseTheCurrentDirectory) {
    ASSERT_EQ(mkdir("data", 0755), 0);
    ASSERT_EQ(mkdir("data/sub", 0755), 0);
    Write("data/sub/tarta.bin", Bytes(5));
    for (const char* name : {"data\\sub\\tarta.bin", "data/sub/tarta.bin", ".\\data\\sub/tarta.bin"}) {
        const FileHandle file = engine->FileOpen(name);
        EXPECT_NE(file, kInvalidFileHandle) << name;
        EXPECT_EQ(engine->FileSize(file), 5u) << name;
        engine->FileClose(file);
    }
    EXPECT_TRUE(messages.empty());
}

TEST_F(Files, SizesAndReadsFromTheCurrentPosition) {
    Write("empty.bin", {});
    FileHandle file = engine->FileOpen("empty.bin");
    EXPECT_EQ(engine->FileSize(file), 0u);
    engine->FileClose(file);

    const auto bytes = Bytes(10);
    Write("ten.bin", bytes);
    file = engine->FileOpen("ten.bin");
    EXPECT_EQ(engine->FileSize(file), 10u);
    std::vector<uint8_t> got(16, 0xEE);
    engine->FileRead(file, got.data(), 0);  // reads nothing, moves nothing
    EXPECT_EQ(got, std::vector<uint8_t>(16, 0xEE));
    engine->FileRead(file, got.data(), 3);
    engine->FileRead(file, got.data() + 3, 12);  // runs past the end
    engine->FileClose(file);
    for (size_t i = 0; i < got.size(); ++i)
        EXPECT_EQ(got[i], i < 10 ? bytes[i] : 0xEE) << "byte " << i;
    EXPECT_TRUE(messages.empty());
}

TEST_F(Files, SizeBeyondThirtyTwoBitsIsReportedAndTruncated) {
    const int fd = ::open("huge.bin", O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ftruncate(fd, (off_t{1} << 32) + 10), 0);  // sparse: costs no space
    ::close(fd);
    const FileHandle file = engine->FileOpen("huge.bin");
    EXPECT_EQ(engine->FileSize(file), 10u);
    EXPECT_EQ(messages, (std::vector<Message>{
                            {"We can't manage files larger than a dword size!", "TFS TESSARY"}}));
    engine->FileClose(file);
}

TEST_F(Files, AnOpenFileCannotBeOpenedAgainUntilClosed) {
    Write("one.bin", Bytes(4));
    const FileHandle first = engine->FileOpen("one.bin");
    ASSERT_NE(first, kInvalidFileHandle);
    EXPECT_EQ(engine->FileOpen("one.bin"), kInvalidFileHandle);
    EXPECT_EQ(messages, std::vector<Message>{kOpenError});

    // Nor from another process.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const intptr_t f = os::OpenForReading("one.bin");
        _exit(f == os::kInvalidFile ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the other process opened it";

    engine->FileClose(first);
    const FileHandle again = engine->FileOpen("one.bin");
    EXPECT_NE(again, kInvalidFileHandle);
    engine->FileClose(again);
    EXPECT_EQ(messages.size(), 1u);
}

TEST_F(Files, LoadFileReadsExactlyTheFile) {
    const auto bytes = Bytes(1000);
    Write("block.bin", bytes);
    std::vector<uint8_t> dest(1100, 0x5A);
    engine->LoadFile("block.bin", dest.data());
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), dest.begin()));
    for (size_t i = 1000; i < dest.size(); ++i) ASSERT_EQ(dest[i], 0x5A) << "byte " << i;
    EXPECT_TRUE(messages.empty());
    // The handle is closed again: the file opens.
    const FileHandle file = engine->FileOpen("block.bin");
    EXPECT_NE(file, kInvalidFileHandle);
    engine->FileClose(file);

    std::vector<uint8_t> untouched(64, 0x5A);
    engine->LoadFile("missing.bin", untouched.data());
    EXPECT_EQ(untouched, std::vector<uint8_t>(64, 0x5A));
    EXPECT_EQ(messages, std::vector<Message>{kOpenError});
}

TEST_F(Files, ReservedOperationsDoNothing) {
    Write("r.bin", Bytes(8));
    engine->Reserved40(12345);
    EXPECT_EQ(engine->Reserved41(), 0);
    const FileHandle file = engine->FileOpen("r.bin");
    engine->Reserved40(static_cast<int32_t>(file));
    EXPECT_EQ(engine->Reserved41(), 0);
    uint8_t first = 0;
    engine->FileRead(file, &first, 1);
    EXPECT_EQ(first, Bytes(1)[0]);  // position untouched
    engine->FileClose(file);
    EXPECT_TRUE(messages.empty());
}

TEST_F(Files, SecondLoadBufferLeavesTheFirstAllocated) {
    engine->MemInit(4096);
    engine->AllocLoadBuffer(256);
    uint8_t* first = files::LoadBuffer();
    EXPECT_EQ(heap::ToRef(first), 0u);
    EXPECT_EQ(files::LoadBufferSize(), 256u);
    engine->AllocLoadBuffer(100);
    EXPECT_EQ(heap::ToRef(files::LoadBuffer()), 256u);
    EXPECT_EQ(files::LoadBufferSize(), 100u);
    EXPECT_EQ(heap::TopRef(), 356u);
    engine->FreeLoadBuffer();
    EXPECT_EQ(heap::TopRef(), 256u);  // only the second went back
    EXPECT_TRUE(heap::FreeList().empty());
    EXPECT_TRUE(messages.empty());
    // Freeing it again is caught by the heap, which stays sound.
    engine->FreeLoadBuffer();
    EXPECT_EQ(messages, (std::vector<Message>{{"Invalid Pointer to deallocate", "Tessary MEM"}}));
    EXPECT_EQ(heap::Check(), "");
}

TEST_F(Files, LoadBufferWithoutHeapIsNull) {
    engine->AllocLoadBuffer(262144);
    EXPECT_EQ(files::LoadBuffer(), nullptr);
    EXPECT_EQ(files::LoadBufferSize(), 0u);  // nothing to fill
    EXPECT_EQ(messages, (std::vector<Message>{{"Heap not initialized", "Tessary MEM"}}));
}

}  // namespace
