#include "hygro/core/PollTick.h"

#include <gtest/gtest.h>

using namespace hygro;

namespace {

// Runs one tick per character of `heard` ('f': a frame came since the last tick, '.':
// silence) and writes what each tick did: 'S' sample, 'L' link lost, 'p' poll only,
// '-' nothing sent.
std::string run(PollTickState &s, const std::string &heard, const PollTickInput &in) {
    std::string did;
    for (char c : heard) {
        if (c == 'f') {
            s.frameReceived = true;
            s.linkUp = true; // as the receive handler does
        }
        const PollTickResult r = PollTick(s, in);
        did += r.sampleDue ? 'S' : r.linkLost ? 'L' : r.poll ? 'p' : '-';
    }
    return did;
}

} // namespace

TEST(HygroPollTick, SamplesAndLostLink) {
    struct Case {
        const char *name;
        bool running;
        int rate;
        std::string heard, did;
    } cases[] = {
        {"a sample every rate ticks", true, 3, "ffffff", "ppSppS"},
        {"rate 1 samples every answered tick", true, 1, "fff", "SSS"},
        {"nothing recorded while not running", false, 1, "fff", "ppp"},
        {"lost at the third silent tick in a row", true, 2, "ff...f", "pSppLp"},
        {"an answer between silences restarts the count", true, 5, "f..f..f", "ppppppp"},
        {"silence restarts the sample count", true, 2, "f.ff", "pppS"},
        {"silence without a link is not counted", true, 2, "......", "pppppp"},
    };
    for (const Case &c : cases) {
        PollTickState s;
        EXPECT_EQ(run(s, c.heard, {586, c.running, c.rate}), c.did) << c.name;
    }
}

TEST(HygroPollTick, LostLinkResetsTheCountAndStaysLost) {
    PollTickState s;
    run(s, "f...", {586, true, 1});
    EXPECT_FALSE(s.linkUp);
    EXPECT_EQ(s.missedPolls, 0);
    EXPECT_EQ(run(s, "...", {586, true, 1}), "ppp"); // polled, never lost twice
}

TEST(HygroPollTick, HeldKeysSendTheirCommandOnceInThePollsPlace) {
    struct Case {
        int model;
        bool key0, key4;
        std::string commands; // sent on the second tick
    } cases[] = {
        {585, true, false, "N"}, {582, false, true, "X"},
        {582, true, true, "NX"}, {585, false, true, ""}, // no hold command on this model
        {583, false, true, ""},  {0, false, true, ""},
    };
    for (const Case &c : cases) {
        PollTickState s;
        s.linkUp = true;
        s.key0Down = c.key0;
        s.key4Down = c.key4;
        const PollTickInput in{c.model, false, 1};
        s.frameReceived = true;
        const PollTickResult first = PollTick(s, in);
        EXPECT_EQ(first.keyCommands, "") << c.model;
        EXPECT_TRUE(first.poll);
        s.frameReceived = true;
        const PollTickResult second = PollTick(s, in);
        EXPECT_EQ(second.keyCommands, c.commands) << c.model;
        EXPECT_EQ(second.maxMinReleased, c.key0) << c.model;
        EXPECT_EQ(second.poll, c.commands.empty()) << c.model;
        EXPECT_EQ(s.missedPolls, c.commands.empty() ? 0 : -1) << c.model; // its answer is not awaited
        EXPECT_FALSE(s.keySent);
        s.frameReceived = true;
        EXPECT_EQ(PollTick(s, in).keyCommands, "") << c.model << ": sent once";
    }
}

TEST(HygroPollTick, KeySentSinceTheLastTickTakesThePollsPlace) {
    PollTickState s;
    s.linkUp = true;
    s.keySent = true;
    const PollTickResult r = PollTick(s, {586, false, 1});
    EXPECT_FALSE(r.poll);
    EXPECT_EQ(s.missedPolls, 0); // the silence counted, then the key's own poll
    EXPECT_FALSE(s.keySent);
    EXPECT_TRUE(PollTick(s, {586, false, 1}).poll);
}

TEST(HygroPollTick, NextInterval) {
    bool first = true;
    EXPECT_EQ(NextInterval(first, true, 980, 5.0), 980); // the first tick measures nothing
    EXPECT_FALSE(first);
    EXPECT_EQ(NextInterval(first, true, 1000, 1.02), 980);
    EXPECT_EQ(NextInterval(first, false, 700, 1.02), 1000);
    bool again = true;
    EXPECT_EQ(NextInterval(again, false, 700, 1.0), 1000);
}
