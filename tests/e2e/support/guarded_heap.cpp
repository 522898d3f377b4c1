// Global operator new and delete for the guarded test build of Pelorin.exe.
// Every allocation gets whole pages of its own, taken in turn from one
// reserved region; delete decommits them and the addresses are never handed
// out again, so any later use of a deleted object faults at once. What does
// not fit in the region comes from the process heap as usual.
#include <windows.h>

#include <cstddef>
#include <new>

namespace {

constexpr SIZE_T kRegionBytes = SIZE_T(256) << 20;
constexpr SIZE_T kPageBytes = 4096;
// Room before the object for the size of its allocation, keeping the object
// 16-byte aligned.
constexpr SIZE_T kHeaderBytes = 16;

struct GuardedRegion {
    char* base =
        static_cast<char*>(VirtualAlloc(nullptr, kRegionBytes, MEM_RESERVE, PAGE_NOACCESS));
    volatile LONG used = 0;  // bytes handed out, in whole pages

    bool Holds(const void* p) const {
        const char* c = static_cast<const char*>(p);
        return base != nullptr && c >= base && c < base + kRegionBytes;
    }
};

GuardedRegion& Region() {
    static GuardedRegion region;
    return region;
}

void* Allocate(std::size_t size) {
    GuardedRegion& region = Region();
    const SIZE_T bytes = (size + kHeaderBytes + kPageBytes - 1) / kPageBytes * kPageBytes;
    if (region.base != nullptr && bytes < kRegionBytes) {
        const SIZE_T at = SIZE_T(InterlockedExchangeAdd(&region.used, LONG(bytes)));
        if (at + bytes <= kRegionBytes) {
            char* pages = static_cast<char*>(
                VirtualAlloc(region.base + at, bytes, MEM_COMMIT, PAGE_READWRITE));
            if (pages != nullptr) {
                *reinterpret_cast<SIZE_T*>(pages) = bytes;
                return pages + kHeaderBytes;
            }
        }
    }
    return HeapAlloc(GetProcessHeap(), 0, size == 0 ? 1 : size);
}

void Release(void* p) {
    if (p == nullptr)
        return;
    if (Region().Holds(p)) {
        char* pages = static_cast<char*>(p) - kHeaderBytes;
        VirtualFree(pages, *reinterpret_cast<SIZE_T*>(pages), MEM_DECOMMIT);
        return;
    }
    HeapFree(GetProcessHeap(), 0, p);
}

void* AllocateOrThrow(std::size_t size) {
    if (void* p = Allocate(size))
        return p;
    throw std::bad_alloc();
}

}  // namespace

void* operator new(std::size_t size) {
    return AllocateOrThrow(size);
}
void* operator new[](std::size_t size) {
    return AllocateOrThrow(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return Allocate(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return Allocate(size);
}
void operator delete(void* p) noexcept {
    Release(p);
}
void operator delete[](void* p) noexcept {
    Release(p);
}
void operator delete(void* p, std::size_t) noexcept {
    Release(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    Release(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    Release(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    Release(p);
}
