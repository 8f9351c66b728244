#include "history/Sha256.h"

#include <gtest/gtest.h>

namespace korvel::history {
namespace {

// The FIPS 180-4 examples, and lengths on each side of the padding boundary.
TEST(Sha256, KnownDigests) {
    const struct {
        const char* name;
        std::string message;
        const char* digest;
    } cases[] = {
        {"empty", "", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"two blocks", "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {"eight hundred and ninety-six bits",
         "abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqr"
         "lmnopqrsmnopqrstnopqrstu",
         "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
        {"a million a", std::string(1000000, 'a'),
         "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Sha256Hex(c.message), c.digest) << c.name;
    }
}

TEST(Sha256, PiecesGiveTheDigestOfTheWhole) {
    const std::string message(200, 'x');
    for (std::size_t split : {0u, 1u, 55u, 56u, 63u, 64u, 65u, 199u}) {
        Sha256 hash;
        hash.Add(std::string_view(message).substr(0, split));
        hash.Add(std::string_view(message).substr(split));
        EXPECT_EQ(HexOf(hash.Finish()), Sha256Hex(message)) << "split at " << split;
    }
}

} // namespace
} // namespace korvel::history
