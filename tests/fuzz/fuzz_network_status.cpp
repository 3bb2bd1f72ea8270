// Fuzzes what a HART-IP peer and a device's status answers hand the tool: the HART-IP header
// and session-initiate body, the port address, and command 0, 48, 9 and 3 answers of any
// revision with the verdict and texts made from them. Nothing may read past the input.
//
// Input: [selector] [universal revision] then the bytes.
#include "hartip.h"
#include "healthdecode.h"

#include <QByteArray>
#include <QLoggingCategory>
#include <QString>

#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    const std::uint8_t selector = data[0];
    const std::uint8_t revision = data[1];
    // A copy of exactly the input's length, so a read past it is caught.
    const std::vector<std::uint8_t> bytes(data + 2, data + size);
    const std::uint8_t *p = bytes.data();
    const std::size_t n = bytes.size();
    switch (selector % 4) {
    case 0: {
        hartip::Header header;
        if (hartip::decodeHeader(reinterpret_cast<const char *>(p), int(n), &header)) {
            if (header.byteCount < hartip::kHeaderSize)
                std::abort();
        }
        std::uint8_t masterType = 0;
        std::uint32_t inactivity = 0;
        hartip::parseInitiateBody(QByteArray(reinterpret_cast<const char *>(p), int(n)),
                                  &masterType, &inactivity);
        break;
    }
    case 1: {
        hartip::Address address;
        QString why;
        hartip::parseAddress(QString::fromUtf8(reinterpret_cast<const char *>(p), int(n)),
                             &address, &why);
        break;
    }
    default: {
        using namespace health;
        const Identity identity = decodeIdentity(p, n);
        const AdditionalStatus additional = decodeAdditionalStatus(p, n, revision);
        if (additional.length > sizeof additional.raw)
            std::abort();
        std::uint8_t extended = 0;
        const QVector<Variable> nine = decodeCommand9(p, n, selector % 4, revision, &extended);
        const QVector<Variable> three = decodeCommand3(p, n);
        additionalStatusTexts(additional);
        additionalStatusHex(additional);
        const Assessment a = assess(n ? p[0] : 0, identity, &additional,
                                    selector & 0x80 ? nine : three);
        verdictWord(a.verdict);
        break;
    }
    }
    return 0;
}
