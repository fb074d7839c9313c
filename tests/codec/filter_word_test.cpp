// The filter word that travels with every pair of pixel blocks.
#include <gtest/gtest.h>

#include "blit/pixel_block.h"

namespace {

TEST(FilterWord, EveryKindWithAnyModifiersIsValid) {
    for (DWORD kind = TX_FILTER_NONE; kind <= TX_FILTER_BOX; ++kind) {
        for (DWORD modifiers = 0; modifiers < 16; ++modifiers) {
            const DWORD filter = kind | modifiers << 16;
            EXPECT_TRUE(TxIsValidFilter(filter)) << std::hex << filter;
        }
    }
    EXPECT_TRUE(TxIsValidFilter(TX_FILTER_MIRROR | TX_FILTER_BOX));
    EXPECT_TRUE(TxIsValidFilter(TX_FILTER_DITHER | TX_FILTER_NONE));
    EXPECT_TRUE(TxIsValidFilter(TX_FILTER_TRIANGLE | TX_FILTER_DITHER));
}

TEST(FilterWord, UnknownKindsAndReservedBitsAreInvalid) {
    const DWORD invalid[] = {
        0,          // no kind
        6,          // past the last kind
        0x105,      // bits 8-15 belong to the kind, which is then 261
        0xFFFF,     // the largest kind
        0x80000,    // dither without a kind
        0x100001,   // bit 20
        0x80000003, // bit 31
        0xFFFFFFFF, // the texture operations' default word, before they replace it
    };
    for (DWORD filter : invalid)
        EXPECT_FALSE(TxIsValidFilter(filter)) << std::hex << filter;
}

} // namespace
