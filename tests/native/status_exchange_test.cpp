// The three-slot exchange step by step: which slot each write fills, which
// block each polling pass copies, and the re-priming on connection.
#include "engine/status_exchange.h"

#include <csetjmp>
#include <csignal>
#include <cstring>

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include "include/qp240_remote.h"
#include "tests/native/engine_test_instance.h"

namespace {

class StatusExchangeTest : public ::testing::Test {
  protected:
    void SetUp() override { instance = MakeTestInstance(&host); }
    void TearDown() override { FreeTestInstance(instance); }
    HostStatusExchange& exchange() { return instance->statusExchange; }
    int32_t Write(int32_t mark) {
        const HostStatusBlock block = Block(mark);
        return StatusExchangeWrite(&exchange(), &block, QP240REMOTE_HOST_STATUS_SIZE);
    }
    int32_t SlotMark(int32_t slot) {
        int32_t word;
        std::memcpy(&word, exchange().base + 176 * slot, sizeof word);
        return word;
    }
    // A polling pass's read; the mark of the instance's block afterwards.
    int32_t Read() {
        StatusExchangeRead(instance);
        return instance->statusBlock.words[0];
    }
    // A connection whose host fills the block with `mark` on code 151.
    void Connect(int32_t mark) {
        host.onCall = [mark](KeypadEngine* self, const HostCall& call) {
            if (call.code == QP240REMOTE_CODE_FILL_STATUS)
                self->statusBlock = Block(mark);
        };
        StatusExchangeReset(instance);
        host.onCall = nullptr;
    }
    TestHost host;
    KeypadEngine* instance = nullptr;
};

TEST_F(StatusExchangeTest, CreatedPrimedWithAlignedSlots) {
    ASSERT_NE(exchange().storage, nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(exchange().base) % 16, 0u);
    EXPECT_GE(exchange().base, exchange().storage);
    EXPECT_LE(exchange().base + 3 * 176, exchange().storage + 544);
    EXPECT_EQ(exchange().slotStride, 176);
    EXPECT_EQ(exchange().slotStates[0], 1);
    EXPECT_EQ(exchange().slotStates[1], 0);
    EXPECT_EQ(exchange().slotStates[2], 0);
    EXPECT_EQ(exchange().writerSlot, 1);
    EXPECT_EQ(exchange().readerSlot, 0);
    EXPECT_EQ(instance->lastConsumedStatusSlot, nullptr);
}

TEST_F(StatusExchangeTest, WrongSizesAreIgnoredAndANullBlockIsRefused) {
    const HostStatusBlock block = Block(5);
    EXPECT_EQ(StatusExchangeWrite(&exchange(), &block, 171), 0);
    EXPECT_EQ(StatusExchangeWrite(&exchange(), &block, 173), 0);
    EXPECT_EQ(StatusExchangeWrite(&exchange(), nullptr, 100), 0);
    EXPECT_EQ(StatusExchangeWrite(&exchange(), nullptr, QP240REMOTE_HOST_STATUS_SIZE),
              QP240REMOTE_E_NULL_DATA);
    EXPECT_EQ(exchange().slotStates[1], 0);
    EXPECT_EQ(exchange().writerSlot, 1);
}

TEST_F(StatusExchangeTest, AWriteBeforeAnyStartLandsInSlot1) {
    ASSERT_EQ(Write(7), 0);
    EXPECT_EQ(exchange().slotStates[1], 1);
    EXPECT_EQ(SlotMark(1), 7);
}

TEST_F(StatusExchangeTest, FirstPassAfterConnectionCopiesTheBlockTheHostFilled) {
    Write(3);  // waits from before the connection: discarded by the re-priming
    Connect(11);
    ASSERT_EQ(Codes(host), (std::vector<int32_t>{QP240REMOTE_CODE_FILL_STATUS}));
    EXPECT_EQ(host.calls[0].argument, QP240REMOTE_HOST_STATUS_SIZE);
    EXPECT_EQ(host.calls[0].pointer, &instance->statusBlock);
    instance->statusBlock = Block(0);
    EXPECT_EQ(Read(), 11);
    EXPECT_EQ(SlotMark(0), 11);
}

TEST_F(StatusExchangeTest, OneWriteBeforeTheFirstPassIsTakenFromSlot1) {
    Connect(11);
    Write(12);
    EXPECT_EQ(Read(), 12);
    EXPECT_EQ(exchange().readerSlot, 1);
}

TEST_F(StatusExchangeTest, ThreeQuickWritesShowTheFirstThenTheThird) {
    Connect(11);
    Write(21);
    Write(22);
    Write(23);
    EXPECT_EQ(Read(), 21);
    EXPECT_EQ(Read(), 23);
    EXPECT_EQ(Read(), 23);
}

TEST_F(StatusExchangeTest, APassWithoutANewWriteCopiesNothing) {
    Connect(11);
    EXPECT_EQ(Read(), 11);
    for (int pass = 0; pass < 10; ++pass) {
        instance->statusBlock = Block(-1);  // any copy would overwrite this
        EXPECT_EQ(Read(), -1);
    }
    Write(30);
    EXPECT_EQ(Read(), 30);
}

TEST_F(StatusExchangeTest, WritesAndReadsInterleavedNeverGoBack) {
    Connect(0);
    int32_t last = Read();
    int32_t mark = 0;
    for (int round = 0; round < 200; ++round) {
        for (int w = 0; w < round % 4; ++w)
            Write(++mark);
        const int32_t seen = Read();
        ASSERT_GE(seen, last) << "round " << round;
        last = seen;
        // The slot the reader holds is never chosen by the writer.
        ASSERT_EQ(exchange().slotStates[exchange().readerSlot], 1);
    }
    // Once writing stops, two passes at most reach the newest block.
    Read();
    EXPECT_EQ(Read(), mark);
}

TEST_F(StatusExchangeTest, TheHostMayWriteFromInsideTheFillRequest) {
    host.onCall = [](KeypadEngine* self, const HostCall& call) {
        if (call.code != QP240REMOTE_CODE_FILL_STATUS)
            return;
        self->statusBlock = Block(40);
        const HostStatusBlock newer = Block(41);
        StatusExchangeWrite(&self->statusExchange, &newer, QP240REMOTE_HOST_STATUS_SIZE);
    };
    StatusExchangeReset(instance);
    EXPECT_EQ(Read(), 41);
    EXPECT_EQ(SlotMark(0), 40);
}

TEST_F(StatusExchangeTest, WithoutStorageWritesAndReadsAreIgnoredAndTheHostStillFills) {
    StatusExchangeFree(&exchange());
    StatusExchangeFree(&exchange());  // safe to repeat
    EXPECT_EQ(exchange().base, nullptr);
    EXPECT_EQ(Write(5), 0);
    Connect(9);
    EXPECT_EQ(instance->statusBlock.words[42], 9);
    instance->statusBlock = Block(1);
    EXPECT_EQ(Read(), 1);
}

sigjmp_buf g_afterFault;

void ReturnFromFault(int) {
    siglongjmp(g_afterFault, 1);
}

// Many hosts survive a fault in a plug-in's call. A block whose end lies in an
// unreadable page faults while it is read; the exchange must not stay held,
// or every later write and read would wait for good.
TEST_F(StatusExchangeTest, ABlockThatCannotBeReadWholeLeavesTheExchangeFree) {
    const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    void* const pages =
        mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(pages, MAP_FAILED);
    uint8_t* const second = static_cast<uint8_t*>(pages) + page;
    ASSERT_EQ(mprotect(second, page, PROT_NONE), 0);

    struct sigaction jump = {}, previousSegv = {}, previousBus = {};
    jump.sa_handler = ReturnFromFault;
    sigaction(SIGSEGV, &jump, &previousSegv);
    sigaction(SIGBUS, &jump, &previousBus);
    bool faulted = true;
    if (sigsetjmp(g_afterFault, 1) == 0) {
        StatusExchangeWrite(&exchange(), second - 100, QP240REMOTE_HOST_STATUS_SIZE);
        faulted = false;
    }
    sigaction(SIGSEGV, &previousSegv, nullptr);
    sigaction(SIGBUS, &previousBus, nullptr);
    munmap(pages, 2 * page);

    EXPECT_TRUE(faulted);
    ASSERT_EQ(exchange().guard.load(), 0) << "the guard stays taken";
    EXPECT_EQ(Write(5), 0);
    EXPECT_EQ(Read(), 5);
}

}  // namespace
