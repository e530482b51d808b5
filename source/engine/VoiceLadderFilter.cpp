#include "VoiceLadderFilter.h"

VoiceLadderFilter::VoiceLadderFilter()
{
    prepare (1000.0);
    setResonance (0.0f);
    setDrive (1.2f);
}

void VoiceLadderFilter::prepare (double sampleRate) noexcept
{
    const auto rate = (float) sampleRate;
    cutoffFreqScaler = (float) (-2.0 * juce::MathConstants<double>::pi) / rate;
    cutoffTransformSmoother.reset (rate, 0.05f);
    scaledResonanceSmoother.reset (rate, 0.05f);
    setCutoffFrequencyHz (cutoffFreqHz);
    reset();
}

void VoiceLadderFilter::reset() noexcept
{
    for (auto& s : state)
        s.fill (0.0f);

    cutoffTransformSmoother.setCurrentAndTargetValue (cutoffTransformSmoother.getTargetValue());
    scaledResonanceSmoother.setCurrentAndTargetValue (scaledResonanceSmoother.getTargetValue());
}

void VoiceLadderFilter::setCutoffFrequencyHz (float hertz) noexcept
{
    cutoffFreqHz = hertz;
    cutoffTransformSmoother.setTargetValue (std::exp (cutoffFreqHz * cutoffFreqScaler));
}

void VoiceLadderFilter::setResonance (float newResonance) noexcept
{
    resonance = newResonance;
    scaledResonanceSmoother.setTargetValue (juce::jmap (resonance, 0.1f, 1.0f));
}

void VoiceLadderFilter::setDrive (float newDrive) noexcept
{
    drive = newDrive;
    gain = std::pow (drive, -2.642f) * 0.6103f + 0.3903f;
    drive2 = drive * 0.04f + 0.96f;
    gain2 = std::pow (drive2, -2.642f) * 0.6103f + 0.3903f;
}

void VoiceLadderFilter::process (float* left, float* right, int numSamples) noexcept
{
    if (! enabled)
        return;

    auto l = state[0], r = state[1];
    float* channels[] = { left, right };

    for (int n = 0; n < numSamples; ++n)
    {
        const auto a1 = cutoffTransformSmoother.getNextValue();
        const auto scaledResonance = scaledResonanceSmoother.getNextValue();
        const auto g = a1 * -1.0f + 1.0f;
        const auto b0 = g * 0.76923076923f;
        const auto b1 = g * 0.23076923076f;

        auto step = [&] (std::array<float, 5>& s, float input)
        {
            const auto dx = gain * saturation (drive * input);
            const auto a = dx + scaledResonance * -4.0f * (gain2 * saturation (drive2 * s[4]) - dx * comp);
            const auto b = b1 * s[0] + a1 * s[1] + b0 * a;
            const auto c = b1 * s[1] + a1 * s[2] + b0 * b;
            const auto d = b1 * s[2] + a1 * s[3] + b0 * c;
            const auto e = b1 * s[3] + a1 * s[4] + b0 * d;
            s = { a, b, c, d, e };
            return a * 0.0f + b * 0.0f + c * 0.0f + d * 0.0f + e * outputGain;
        };

        channels[0][n] = step (l, channels[0][n]);
        channels[1][n] = step (r, channels[1][n]);
    }

    state[0] = l;
    state[1] = r;
}
