#include "hartcodec.h"

#include "linklog.h"

#include <QString>

#include <algorithm>
#include <cstring>

std::uint16_t getU16BE(const std::uint8_t *p)
{
    return static_cast<std::uint16_t>(p[0] << 8 | p[1]);
}

void putU16BE(std::uint8_t *p, std::uint16_t value)
{
    p[0] = static_cast<std::uint8_t>(value >> 8);
    p[1] = static_cast<std::uint8_t>(value);
}

std::uint32_t getU32BE(const std::uint8_t *p)
{
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8
            | std::uint32_t(p[3]);
}

void putU32BE(std::uint8_t *p, std::uint32_t value)
{
    p[0] = static_cast<std::uint8_t>(value >> 24);
    p[1] = static_cast<std::uint8_t>(value >> 16);
    p[2] = static_cast<std::uint8_t>(value >> 8);
    p[3] = static_cast<std::uint8_t>(value);
}

float getFloatBE(const std::uint8_t *p)
{
    const std::uint32_t bits = getU32BE(p);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

void putFloatBE(std::uint8_t *p, float value)
{
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    putU32BE(p, bits);
}

std::uint8_t xorChecksum(const std::uint8_t *data, std::size_t length)
{
    std::uint8_t sum = 0;
    for (std::size_t i = 0; i < length; ++i)
        sum ^= data[i];
    return sum;
}

void packAscii(std::uint8_t *dest, const char *text, std::size_t destLength)
{
    const std::size_t maxChars = destLength / 3 * 4;
    const std::size_t take = std::min(text ? std::strlen(text) : 0, maxChars);
    std::size_t pos = 0;
    for (std::size_t j = 0; j < destLength; j += 3) {
        std::uint8_t c[4];
        for (auto &ch : c) {
            const char raw = pos < take ? text[pos] : ' ';
            ch = static_cast<std::uint8_t>(raw) & 0x3F;
            ++pos;
        }
        const std::uint8_t b[3] = {
                static_cast<std::uint8_t>(c[0] << 2 | c[1] >> 4),
                static_cast<std::uint8_t>((c[1] & 0x0F) << 4 | c[2] >> 2),
                static_cast<std::uint8_t>((c[2] & 0x03) << 6 | c[3]),
        };
        const std::size_t n = std::min<std::size_t>(3, destLength - j);
        std::memcpy(dest + j, b, n);
    }
}

void unpackAscii(char *dest, std::size_t destLength, const std::uint8_t *src, std::size_t srcLength)
{
    std::memset(dest, 0, destLength);
    const std::size_t n = std::min(destLength, srcLength / 3 * 4);
    std::size_t out = 0;
    for (std::size_t i = 0; i + 2 < srcLength; i += 3) {
        const std::uint8_t s0 = src[i], s1 = src[i + 1], s2 = src[i + 2];
        std::uint8_t c[4] = {
                static_cast<std::uint8_t>(s0 >> 2),
                static_cast<std::uint8_t>((s0 & 3) << 4 | s1 >> 4),
                static_cast<std::uint8_t>((s1 & 0x0F) << 2 | s2 >> 6),
                static_cast<std::uint8_t>(s2 & 0x3F),
        };
        for (auto &ch : c)
            if (ch < 0x20)
                ch += 0x40;
        qCDebug(lcCodec, "%s", qPrintable(QString::asprintf("in=%02X%02X%02X", s0, s1, s2)));
        qCDebug(lcCodec, "%s",
                qPrintable(QString::asprintf("out=%02X%02X%02X%02X", c[0], c[1], c[2], c[3])));
        for (std::uint8_t ch : c)
            if (out < n)
                dest[out++] = static_cast<char>(ch);
    }
}

namespace hart {

void buildRequest(RequestFrame &out, std::uint8_t command, const std::uint8_t *data,
                  std::uint8_t dataLength, std::uint8_t masterBit, std::uint8_t pollingAddress,
                  const std::uint8_t uniqueAddress[5], std::uint8_t &preambleCount)
{
    std::memset(out.frame, 0, sizeof out.frame);
    const std::uint8_t master = static_cast<std::uint8_t>((masterBit & 1) << 7);
    if (command == 0) {
        out.frame[0] = kShortRequestDelimiter;
        // Six bits: HART 6 and 7 poll 0..63; addresses 0..15 give the bytes they always did.
        out.frame[1] = static_cast<std::uint8_t>(master | (pollingAddress & 0x3F));
        out.frame[2] = 0;
        out.frame[3] = 0;
        out.frame[4] = xorChecksum(out.frame, 4);
        out.frameLength = 5;
    } else {
        const std::uint8_t n = data ? std::min<std::uint8_t>(dataLength, kMaxRequestData) : 0;
        out.frame[0] = kLongRequestDelimiter;
        out.frame[1] = static_cast<std::uint8_t>(master | (uniqueAddress[0] & 0x3F));
        out.frame[2] = uniqueAddress[1];
        out.frame[3] = uniqueAddress[2];
        out.frame[4] = uniqueAddress[3];
        out.frame[5] = uniqueAddress[4];
        out.frame[6] = command;
        out.frame[7] = n;
        if (n)
            std::memcpy(out.frame + 8, data, n);
        out.frame[8 + n] = xorChecksum(out.frame, 8u + n);
        out.frameLength = static_cast<std::uint8_t>(9 + n);
    }
    preambleCount = std::clamp(preambleCount, kMinPreambles, kMaxPreambles);
    std::memset(out.tx, 0xFF, preambleCount);
    std::memcpy(out.tx + preambleCount, out.frame, out.frameLength);
    out.txLength = static_cast<std::uint8_t>(preambleCount + out.frameLength);
}

QByteArray buildLongFrame(std::uint8_t command, const std::uint8_t *data, std::size_t dataLength,
                          std::uint8_t masterBit, const std::uint8_t uniqueAddress[5])
{
    const std::size_t n = data ? std::min<std::size_t>(dataLength, kWideFrameAreaSize - 9) : 0;
    QByteArray frame(int(9 + n), '\0');
    auto *f = reinterpret_cast<std::uint8_t *>(frame.data());
    f[0] = kLongRequestDelimiter;
    f[1] = static_cast<std::uint8_t>(((masterBit & 1) << 7) | (uniqueAddress[0] & 0x3F));
    std::memcpy(f + 2, uniqueAddress + 1, 4);
    f[6] = command;
    f[7] = static_cast<std::uint8_t>(n);
    if (n)
        std::memcpy(f + 8, data, n);
    f[8 + n] = xorChecksum(f, 8 + n);
    return frame;
}

} // namespace hart
