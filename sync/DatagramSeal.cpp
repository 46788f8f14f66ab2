#include "sync/DatagramSeal.h"

#include <cstring>
#include <fstream>
#include <iterator>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>

namespace lumenarc {

DatagramSeal::DatagramSeal(std::vector<unsigned char> key) : m_key(std::move(key)) {}

std::optional<DatagramSeal> DatagramSeal::fromFile(const std::string& path, std::string& why) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        why = "cannot read it";
        return std::nullopt;
    }
    std::vector<unsigned char> key;
    char byte = 0;
    while (key.size() <= kMaxKey && file.get(byte)) {
        key.push_back(static_cast<unsigned char>(byte));
    }
    if (file.bad()) {
        why = "cannot read it";
        return std::nullopt;
    }
    if (key.size() < kMinKey || key.size() > kMaxKey) {
        why =
            "a secret is " + std::to_string(kMinKey) + " to " + std::to_string(kMaxKey) + " bytes";
        return std::nullopt;
    }
    return DatagramSeal(std::move(key));
}

DatagramSeal::Tag DatagramSeal::tagOf(const char* bytes, size_t size) const {
    Tag tag{};
    unsigned int length = 0;
    HMAC(EVP_sha256(), m_key.data(), static_cast<int>(m_key.size()),
         reinterpret_cast<const unsigned char*>(bytes), size, tag.data(), &length);
    return tag;
}

std::vector<char> DatagramSeal::seal(const char* bytes, size_t size, int64_t now) const {
    std::vector<char> out(bytes, bytes + size);
    const auto stamp = static_cast<uint64_t>(now);
    for (int k = 7; k >= 0; --k) {
        out.push_back(static_cast<char>((stamp >> (8 * k)) & 0xff));
    }
    const Tag tag = tagOf(out.data(), out.size());
    out.insert(out.end(), tag.begin(), tag.end());
    return out;
}

std::optional<size_t> DatagramSeal::open(const char* datagram, size_t size, int64_t now) {
    if (size < kOverhead) {
        return std::nullopt;
    }
    const size_t signedSize = size - Tag{}.size();
    const Tag tag = tagOf(datagram, signedSize);
    if (CRYPTO_memcmp(tag.data(), datagram + signedSize, tag.size()) != 0) {
        return std::nullopt;
    }
    uint64_t stamp = 0;
    for (size_t k = signedSize - 8; k < signedSize; ++k) {
        stamp = (stamp << 8) | static_cast<unsigned char>(datagram[k]);
    }
    const auto sent = static_cast<int64_t>(stamp);
    if (sent < now - kWindow || sent > now + kWindow) {
        return std::nullopt;
    }
    while (!m_seenOrder.empty() &&
           (m_seenOrder.front().first < now - 2 * kWindow || m_seenOrder.size() >= kRemembered)) {
        m_seen.erase(m_seenOrder.front().second);
        m_seenOrder.pop_front();
    }
    if (!m_seen.insert(tag).second) {
        return std::nullopt; // a replay
    }
    m_seenOrder.emplace_back(now, tag);
    return signedSize - 8;
}

} // namespace lumenarc
