#include "sheet/random_name.h"

#include <sys/random.h>

#include <chrono>
#include <cstdint>

namespace quillmere::sheet {

std::string RandomNamePart() {
    static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    unsigned char bytes[10];
    if (::getrandom(bytes, sizeof bytes, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof bytes)) {
        std::uint64_t mix = static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
        for (unsigned char& byte : bytes) {
            mix = mix * 6364136223846793005u + 1442695040888963407u;
            byte = static_cast<unsigned char>(mix >> 56);
        }
    }
    std::string part;
    for (const unsigned char byte : bytes) part += kAlphabet[byte % (sizeof kAlphabet - 1)];
    return part;
}

}  // namespace quillmere::sheet
