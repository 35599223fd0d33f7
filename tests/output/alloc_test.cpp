// The audio thread allocates nothing once playback has started: every allocation of this test
// program goes through counting versions of malloc and its relatives, which note the ones made
// by any thread other than the test's own.
#include <gtest/gtest.h>

#include <pthread.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <thread>

#include "output_fixture.h"

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* block, size_t size);
void* __libc_memalign(size_t alignment, size_t size);
void __libc_free(void* block);
}

namespace {
std::atomic<bool> counting{false};
std::atomic<int32_t> foreignAllocations{0};
pthread_t testThread;

void note() {
    if (counting.load(std::memory_order_relaxed) && !pthread_equal(pthread_self(), testThread))
        foreignAllocations.fetch_add(1, std::memory_order_relaxed);
}
} // namespace

extern "C" {
void* malloc(size_t size) {
    note();
    return __libc_malloc(size);
}
void* calloc(size_t count, size_t size) {
    note();
    return __libc_calloc(count, size);
}
void* realloc(void* block, size_t size) {
    note();
    return __libc_realloc(block, size);
}
void* memalign(size_t alignment, size_t size) {
    note();
    return __libc_memalign(alignment, size);
}
void* aligned_alloc(size_t alignment, size_t size) {
    note();
    return __libc_memalign(alignment, size);
}
int posix_memalign(void** result, size_t alignment, size_t size) {
    note();
    void* block = __libc_memalign(alignment, size);
    if (!block)
        return 12; // ENOMEM
    *result = block;
    return 0;
}
void free(void* block) {
    __libc_free(block);
}
}

void* operator new(size_t size) {
    note();
    void* block = __libc_malloc(size ? size : 1);
    if (!block)
        std::abort();
    return block;
}
void* operator new[](size_t size) {
    return operator new(size);
}
void operator delete(void* block) noexcept {
    __libc_free(block);
}
void operator delete[](void* block) noexcept {
    __libc_free(block);
}
void operator delete(void* block, size_t) noexcept {
    __libc_free(block);
}
void operator delete[](void* block, size_t) noexcept {
    __libc_free(block);
}

namespace ostrel::testing {
namespace {

class AllocationTest : public OutputTest {
  protected:
    void SetUp() override {
        OutputTest::SetUp();
        testThread = pthread_self();
        foreignAllocations = 0;
    }
    void TearDown() override {
        counting = false;
        OutputTest::TearDown();
    }
};

TEST_F(AllocationTest, CountsAnotherThreadsAllocations) {
    counting = true;
    std::thread other([] { std::free(std::malloc(64)); });
    other.join();
    counting = false;
    EXPECT_GE(foreignAllocations.load(), 1);
}

TEST_F(AllocationTest, AudioThreadAllocatesNothingAfterStart) {
    platform::headlessSetThreadsEnabled(1);
    ASSERT_EQ(openAudio(44100), 1);
    counting = true;
    ASSERT_EQ(startPlayback(&player), 1);
    // two and a half laps of the ring, a few chunks at a time
    for (int32_t step = 0; step < 50; ++step) {
        platform::headlessAudioAdvance(5 * chunkBytes44k);
        ASSERT_TRUE(waitForTwoPolls());
    }
    EXPECT_EQ(audibleIndex.load(), 50); // 250 chunks refilled
    EXPECT_EQ(stopPlayback(&player), 1);
    counting = false;
    EXPECT_EQ(foreignAllocations.load(), 0);
}

} // namespace
} // namespace ostrel::testing
