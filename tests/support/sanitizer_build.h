#pragma once
// Whether the test runs in a build instrumented by AddressSanitizer or
// ThreadSanitizer. Both reserve terabytes of shadow address space at start,
// so a test that caps the address space cannot run under them.

namespace quillmere::testing {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
inline constexpr bool kShadowMemorySanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
inline constexpr bool kShadowMemorySanitizer = true;
#else
inline constexpr bool kShadowMemorySanitizer = false;
#endif
#else
inline constexpr bool kShadowMemorySanitizer = false;
#endif

}  // namespace quillmere::testing
