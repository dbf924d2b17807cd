// The forwarded-argument filter against its worked examples and against a
// literal "remove the first match, search again from the start" reference.
#include <gtest/gtest.h>

#include <string.h>

#include <random>
#include <string>

#include "../../src/launch/arguments.h"

namespace {

std::string reference_filter(std::string text, size_t cap) {
    for (size_t at = text.find("/s"); at != std::string::npos; at = text.find("/s")) {
        text.erase(at, 2);
    }
    return text.substr(0, cap - 1);
}

// Runs the filter on a buffer full of junk and checks that every byte after
// the text was zeroed.
std::string run_filter(const std::string& tail, int cap) {
    std::string buf(cap, '\xAA');
    filter_arguments(tail.c_str(), "/s", &buf[0], cap);
    size_t len = strlen(buf.c_str());
    for (int i = static_cast<int>(len); i < cap; ++i) {
        if (buf[i] != 0) ADD_FAILURE() << "byte " << i << " not zeroed for " << tail;
    }
    return buf.substr(0, len);
}

}  // namespace

TEST(ForwardedArguments, WorkedExamples) {
    struct Case {
        const char* tail;
        const char* forwarded;
    } cases[] = {
        {"/s /qn", " /qn"},   {"/qn /s", "/qn "},
        {"/s", ""},           {"/silent", "ilent"},
        {"/S /qn", "/S /qn"}, {"//ss", ""},
        {"a/s/sb", "ab"},     {"/log C:/setup/install.log", "/log C:etup/install.log"},
        {"/qn", "/qn"},       {"", ""},
        {"///sss", ""},       {"/\x82/s", "/\x82"},  // bytes, not characters
    };
    for (const auto& c : cases) EXPECT_EQ(run_filter(c.tail, 1000), c.forwarded) << c.tail;
}

TEST(ForwardedArguments, CutAt999AfterTheRemovals) {
    struct Case {
        std::string tail;
        std::string forwarded;
    } cases[] = {
        {std::string(999, 'a'), std::string(999, 'a')},
        {std::string(1000, 'a'), std::string(999, 'a')},
        {std::string(5000, 'a'), std::string(999, 'a')},
        // 1,999 bytes brought to 999 by its removals: copied whole.
        {std::string(500, '/') + std::string(999, 'a') + std::string(500, 's'),
         std::string(500, '/') + std::string(999 - 500, 'a')},
        {std::string(998, 'a') + std::string(600, '/') + std::string(600, 's') + "b",
         std::string(998, 'a') + "b"},
        {std::string(998, 'a') + std::string(600, '/') + std::string(599, 's') + "b",
         std::string(998, 'a') + "/"},
        {std::string(999, 'a') + "/" + "x" + "s", std::string(999, 'a')},
        {std::string(998, 'a') + "/" + "/s" + "s" + "z", std::string(998, 'a') + "z"},
    };
    for (const auto& c : cases) EXPECT_EQ(run_filter(c.tail, 1000), c.forwarded);
}

TEST(ForwardedArguments, AgreesWithTheLiteralAlgorithm) {
    const char alphabet[] = {'/', 's', 'S', 'a'};
    for (int len = 0; len <= 8; ++len) {
        int total = 1 << (2 * len);
        for (int n = 0; n < total; ++n) {
            std::string tail;
            for (int i = 0; i < len; ++i) tail += alphabet[(n >> (2 * i)) & 3];
            for (int cap : {1, 2, 4, 1000}) {
                ASSERT_EQ(run_filter(tail, cap), reference_filter(tail, cap))
                    << tail << " cap " << cap;
            }
        }
    }
    std::mt19937 random(7);
    for (int round = 0; round < 2000; ++round) {
        std::string tail(random() % 3000, 'a');
        for (char& c : tail) c = "/s/sa S"[random() % 7];
        int cap = 1 + static_cast<int>(random() % 40);
        ASSERT_EQ(run_filter(tail, cap), reference_filter(tail, cap)) << tail;
        ASSERT_EQ(run_filter(tail, 1000), reference_filter(tail, 1000)) << tail;
    }
}
