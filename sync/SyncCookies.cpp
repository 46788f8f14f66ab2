#include "sync/SyncCookies.h"

#include "net/UdpListener.h"

#include <cstring>
#include <netinet/in.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/rand.h>
#include <random>
#include <vector>

namespace lumenarc {

SyncCookies::SyncCookies() {
    if (RAND_bytes(m_key.data(), static_cast<int>(m_key.size())) != 1) {
        std::random_device random;
        for (unsigned char& byte : m_key) {
            byte = static_cast<unsigned char>(random());
        }
    }
}

SyncCookies::Cookie SyncCookies::makeFor(const SyncAddress& from, int64_t period) const {
    // The host, the port and the period: what a cookie holds for.
    std::vector<unsigned char> text;
    const auto add = [&text](const void* data, size_t size) {
        const auto* bytes = static_cast<const unsigned char*>(data);
        text.insert(text.end(), bytes, bytes + size);
    };
    const uint16_t port = UdpListener::portOf(from.address);
    add(&from.address.ss_family, sizeof from.address.ss_family);
    add(&port, sizeof port);
    if (from.address.ss_family == AF_INET6) {
        add(&reinterpret_cast<const sockaddr_in6*>(&from.address)->sin6_addr, sizeof(in6_addr));
    } else {
        add(&reinterpret_cast<const sockaddr_in*>(&from.address)->sin_addr, sizeof(in_addr));
    }
    add(&period, sizeof period);
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    HMAC(EVP_sha256(), m_key.data(), static_cast<int>(m_key.size()), text.data(), text.size(),
         digest, &length);
    Cookie cookie{};
    std::memcpy(cookie.data(), digest, cookie.size());
    return cookie;
}

SyncCookies::Cookie SyncCookies::make(const SyncAddress& from, int64_t now) const {
    return makeFor(from, now / kPeriod);
}

bool SyncCookies::check(const SyncAddress& from, const Cookie& cookie, int64_t now) const {
    const int64_t period = now / kPeriod;
    for (const int64_t candidate : {period, period - 1}) {
        const Cookie expected = makeFor(from, candidate);
        if (CRYPTO_memcmp(expected.data(), cookie.data(), cookie.size()) == 0) {
            return true;
        }
    }
    return false;
}

} // namespace lumenarc
