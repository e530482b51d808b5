#include <gtest/gtest.h>

#include "TestHelpers.h"
#include "engine/WaveFileReader.h"
#include "engine/WaveLibrary.h"

#include <cmath>

namespace
{
/** The wave of the given display name, its band 0 table. */
const float* bandZeroOf (const WaveLibrary& library, const juce::String& name)
{
    const auto index = library.getChoiceNames().indexOf (name);
    const auto* tables = library.tablesFor (index);
    return tables != nullptr ? tables->band (0) : nullptr;
}
} // namespace

TEST (WaveFilesTest, CycleLengthRules)
{
    TempWaveFolder waves;

    // Exactly 1024 samples: as they are.
    waves.addWave ("Cycles", "Exact.wav", sineCycle (1024, 0.5f));
    // Short and long single cycles: one whole period each.
    waves.addWave ("Cycles", "Short_600.wav", sineCycle (600, 0.5f));
    waves.addWave ("Cycles", "Long_4096.wav", sineCycle (4096, 0.5f));
    // A wavetable of four 2048-sample frames with a frame marker: the first frame is the cycle.
    std::vector<float> frames;
    for (int f = 0; f < 4; ++f)
    {
        auto frame = sineCycle (2048, 0.5f, f + 1);
        frames.insert (frames.end(), frame.begin(), frame.end());
    }
    waves.addWave ("Cycles", "Marked.wav", frames, 1, "<!>2048 10000000 wavetable");
    // Longer than 4096 without a marker: the first 1024 samples (here one period of a sine).
    auto longFile = sineCycle (1024, 0.5f);
    longFile.resize (8192, 0.9f);
    waves.addWave ("Cycles", "Long_Unmarked.wav", longFile);
    // A stereo file: the left channel only (the helper writes the right channel inverted).
    waves.addWave ("Cycles", "Stereo.wav", sineCycle (1024, 0.5f), 2);

    const auto library = WaveLibrary::load (waves.getFolder());

    for (const char* name : { "Exact", "Short 600", "Long 4096", "Marked", "Stereo" })
    {
        SCOPED_TRACE (name);
        const auto* t = bandZeroOf (*library, name);
        ASSERT_NE (t, nullptr);
        EXPECT_NEAR (harmonicMagnitude (t, 1024, 1), 0.5, 2e-3);
        EXPECT_NEAR (harmonicPhase (t, 1024, 1), -M_PI / 2, 1e-2) << "a sine, not an inverted one";
        EXPECT_NEAR (harmonicMagnitude (t, 1024, 2), 0.0, 1e-3);
        EXPECT_NEAR (t[256], 0.5f, 2e-3f);
    }

    const auto* cut = bandZeroOf (*library, "Long Unmarked");
    ASSERT_NE (cut, nullptr);
    EXPECT_NEAR (harmonicMagnitude (cut, 1024, 1), 0.5, 1e-3);
}

TEST (WaveFilesTest, FilesThatCannotBeReadGiveNoWave)
{
    TempWaveFolder waves;
    waves.addWave ("Bad", "Good.wav", sawCycle());
    waves.addRaw ("Bad", "Empty.wav", {});
    waves.addRaw ("Bad", "Text.wav", juce::MemoryBlock ("not audio at all, just words", 28));
    auto truncated = waves.addWave ("Bad", "Truncated.wav", sawCycle());
    {
        juce::MemoryBlock data;
        truncated.loadFileAsData (data);
        truncated.replaceWithData (data.getData(), 30);
    }
    waves.addWave ("Bad", "Silent_Header.wav", {});   // a valid header and no samples

    auto poisoned = sawCycle();
    poisoned[10] = std::numeric_limits<float>::infinity();
    waves.addWave ("Bad", "Infinite.wav", poisoned);
    poisoned[10] = std::nanf ("");
    waves.addWave ("Bad", "NaN.wav", poisoned);
    poisoned[10] = 3.0e38f;   // finite, but would overflow the transform
    waves.addWave ("Bad", "Enormous.wav", poisoned);

    // A header that claims no channels at all.
    {
        juce::MemoryOutputStream bytes;
        bytes.write ("RIFF", 4); bytes.writeInt (36); bytes.write ("WAVEfmt ", 8); bytes.writeInt (16);
        bytes.writeShort (3); bytes.writeShort (0); bytes.writeInt (48000); bytes.writeInt (0); bytes.writeShort (0); bytes.writeShort (32);
        bytes.write ("data", 4); bytes.writeInt (0);
        waves.addRaw ("Bad", "No_Channels.wav", bytes.getMemoryBlock());
    }

    // A header that claims far more samples than the file holds.
    {
        juce::MemoryBlock data;
        waves.getFolder().getChildFile ("Bad/Good.wav").loadFileAsData (data);
        auto* bytes = static_cast<char*> (data.getData());
        for (size_t i = 12; i + 8 < data.getSize(); ++i)
            if (std::memcmp (bytes + i, "data", 4) == 0)
            {
                const juce::uint32 claimed = 0x7ffffff0;
                std::memcpy (bytes + i + 4, &claimed, 4);
                break;
            }
        waves.addRaw ("Huge", "Lying_Header.wav", data);
    }

    // A metadata chunk that claims far more bytes than the file holds (JUCE's reader would allocate
    // and walk all of it).
    {
        juce::MemoryBlock data;
        waves.getFolder().getChildFile ("Bad/Good.wav").loadFileAsData (data);
        juce::MemoryOutputStream withChunk;
        withChunk.write (data.getData(), 12);
        withChunk.write ("smpl", 4);
        withChunk.writeInt (0x5d000000);
        withChunk.write (static_cast<const char*> (data.getData()) + 12, data.getSize() - 12);
        waves.addRaw ("Bad", "Lying_Chunk.wav", withChunk.getMemoryBlock());
    }

    const auto library = WaveLibrary::load (waves.getFolder());
    EXPECT_EQ (library->getNumWaves(), 11) << "unreadable files are still listed";
    EXPECT_NE (bandZeroOf (*library, "Good"), nullptr);

    // The first 1024 samples of the lying file are the good saw.
    const auto* lying = bandZeroOf (*library, "Lying Header");
    ASSERT_NE (lying, nullptr);
    EXPECT_NEAR (harmonicMagnitude (lying, 1024, 3), harmonicMagnitude (bandZeroOf (*library, "Good"), 1024, 3), 1e-4);

    for (const char* name : { "Empty", "Text", "Truncated", "Silent Header", "Infinite", "NaN", "Enormous", "No Channels", "Lying Chunk" })
        EXPECT_EQ (bandZeroOf (*library, name), nullptr) << name;

    WaveFileReader reader;
    EXPECT_FALSE (reader.readCycle (waves.getFolder().getChildFile ("Bad/Missing.wav")).has_value());
}

TEST (WaveFilesTest, LongFileReadsOnlyItsCycle)
{
    TempWaveFolder waves;
    auto big = sineCycle (1024, 0.5f);
    big.resize (4 * 1024 * 1024, 0.25f);   // 16 MB of samples after the first cycle
    waves.addWave ("Big", "Long.wav", big);
    const auto library = WaveLibrary::load (waves.getFolder());
    const auto* t = bandZeroOf (*library, "Long");
    ASSERT_NE (t, nullptr);
    EXPECT_NEAR (harmonicMagnitude (t, 1024, 1), 0.5, 1e-3);
}

TEST (WaveFilesTest, FrameMarkerParsing)
{
    TempWaveFolder waves;
    struct Case { const char* marker; int expected; };
    const Case cases[] = { { "<!>2048", 2048 }, { "<!>256 00000000", 256 }, { "no marker here", 0 },
                           { "<!>", 0 }, { "<!>99999999999", 0 }, { "<!>0", 0 } };

    for (const auto& c : cases)
    {
        const auto file = waves.addWave ("M", "w.wav", sawCycle (4096), 1, c.marker);
        EXPECT_EQ (WaveFileReader::findFrameLengthMarker (file), c.expected) << c.marker;
    }

    EXPECT_EQ (WaveFileReader::findFrameLengthMarker (waves.addRaw ("M", "x.wav", juce::MemoryBlock ("RIFF", 4))), 0);
}

TEST (WaveFilesTest, LibraryOrderFollowsTheFolderListing)
{
    TempWaveFolder waves;
    waves.addWave ("One", "a.wav", sineCycle());
    waves.addWave ("One", "b.wav", sawCycle());
    waves.addWave ("Two", "c.wav", sineCycle());
    waves.addWave ("Two", "d.wav", sawCycle());

    const auto library = WaveLibrary::load (waves.getFolder());
    const auto names = library->getChoiceNames();
    ASSERT_EQ (names.size(), 5);
    EXPECT_EQ (names[4], "Custom");
    EXPECT_EQ (library->getCustomIndex(), 4);

    // Within a subfolder, files stay together; subfolders do not interleave.
    const auto& entries = library->getEntries();
    for (size_t i = 0; i < entries.size(); i += 2)
        EXPECT_EQ (entries[i].file.getParentDirectory(), entries[i + 1].file.getParentDirectory());
}
