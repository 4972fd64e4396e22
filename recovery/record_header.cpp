#include "record_header.h"

int readVarint32(const unsigned char* p, uint32_t* value) {
    // The first three forms cover every serial type a carved header normally
    // holds; they are spelled out so the hot path never enters the loop.
    if (!(p[0] & 0x80)) {
        *value = p[0];
        return 1;
    }
    if (!(p[1] & 0x80)) {
        *value = (uint32_t(p[0] & 0x7F) << 7) | p[1];
        return 2;
    }
    if (!(p[2] & 0x80)) {
        *value = (uint32_t(p[0] & 0x7F) << 14) | (uint32_t(p[1] & 0x7F) << 7) | p[2];
        return 3;
    }
    // Full 64-bit varint: eight 7-bit groups, then a ninth byte of 8 bits.
    uint64_t v = 0;
    int n = 0;
    for (; n < 8; ++n) {
        v = (v << 7) | (p[n] & 0x7F);
        if (!(p[n] & 0x80)) {
            ++n;
            break;
        }
    }
    if (n == 8 && (p[7] & 0x80)) {
        v = (v << 8) | p[8];
        n = 9;
    }
    *value = v > 0xFFFFFFFFull ? 0xFFFFFFFFu : uint32_t(v);
    return n;
}

int calculateDataWidth(unsigned int serialType) {
    static const int kSmall[12] = {0, 1, 2, 3, 4, 6, 8, 8, 0, 0, 0, 0};
    if (serialType < 12)
        return kSmall[serialType];
    if (serialType == 12)
        return 0;
    // Even types are BLOBs, odd ones texts; both store (N - 12 or 13) / 2 bytes.
    return int((serialType - (serialType % 2 == 0 ? 12u : 13u)) / 2);
}

int checkDataType(unsigned int serialType) {
    if (serialType >= 2 && serialType <= 5)
        return fennaro::kIntegerClass;
    if (serialType == 7)
        return fennaro::kFloatClass;
    if (serialType >= 13)
        return serialType % 2 == 0 ? fennaro::kBlobClass : fennaro::kTextClass;
    return int(serialType);
}
