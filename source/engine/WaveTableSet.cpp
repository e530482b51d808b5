#include "WaveTableSet.h"

#include <cmath>

namespace
{
constexpr int fftOrder = 10;

/** One table-size transform per thread: setting a transform up costs more than running it. */
const juce::dsp::FFT& tableFft()
{
    thread_local const juce::dsp::FFT fft (fftOrder);
    return fft;
}
static_assert ((1 << fftOrder) == WaveTableSet::tableSize, "one FFT frame per table");

/** The spectrum of one period of a cycle of any length, as tableSize complex bins. A cycle of a
    different length is read with a transform of its own length (a power of two when it is one, a
    direct transform otherwise), and its harmonics are then placed in the tableSize-point layout,
    which resamples it without aliasing: harmonics the table cannot hold are dropped. */
std::vector<std::complex<float>> spectrumOf (const float* cycle, int numSamples)
{
    constexpr int n = WaveTableSet::tableSize;
    std::vector<std::complex<float>> bins ((size_t) n, std::complex<float> (0.0f, 0.0f));

    if (numSamples == n)
    {
        std::vector<float> work ((size_t) n * 2, 0.0f);
        std::copy (cycle, cycle + n, work.begin());
        tableFft().performRealOnlyForwardTransform (work.data(), false);

        for (int k = 0; k <= n / 2; ++k)
            bins[(size_t) k] = { work[(size_t) (2 * k)], work[(size_t) (2 * k + 1)] };

        return bins;
    }

    // Other lengths: harmonics 1 to min(numSamples / 2, n / 2) - 1, scaled to the table's length.
    const auto scale = (float) n / (float) numSamples;
    const auto highest = juce::jmin (numSamples / 2, n / 2);
    int fftLength = 1, order = 0;

    while (fftLength < numSamples) { fftLength <<= 1; ++order; }

    if (fftLength == numSamples && order > 0)
    {
        juce::dsp::FFT fft (order);
        std::vector<float> work ((size_t) fftLength * 2, 0.0f);
        std::copy (cycle, cycle + numSamples, work.begin());
        fft.performRealOnlyForwardTransform (work.data(), false);

        for (int k = 1; k < highest; ++k)
            bins[(size_t) k] = std::complex<float> (work[(size_t) (2 * k)], work[(size_t) (2 * k + 1)]) * scale;
    }
    else
    {
        for (int k = 1; k < highest; ++k)
        {
            std::complex<double> sum {};
            const auto w = -2.0 * juce::MathConstants<double>::pi * k / numSamples;

            for (int t = 0; t < numSamples; ++t)
                sum += (double) cycle[t] * std::complex<double> (std::cos (w * t), std::sin (w * t));

            bins[(size_t) k] = std::complex<float> ((float) sum.real(), (float) sum.imag()) * scale;
        }
    }

    return bins;
}
} // namespace

WaveTableSet::WaveTableSet()
    : data ((size_t) numBands * stride, true),
      pairs ((size_t) numBands * stride * 2, true)
{
}

std::shared_ptr<const WaveTableSet> WaveTableSet::build (const float* cycle, int numSamples)
{
    auto set = std::make_shared<WaveTableSet>();

    if (cycle == nullptr || numSamples <= 0)
        return set;

    for (int i = 0; i < numSamples; ++i)
        if (! std::isfinite (cycle[i]))
            return set;

    const auto bins = spectrumOf (cycle, numSamples);
    const auto& fft = tableFft();
    std::vector<float> work ((size_t) tableSize * 2);
    bool anyNonZero = false;

    for (int b = 0; b < numBands; ++b)
    {
        std::fill (work.begin(), work.end(), 0.0f);

        // DC (bin 0) stays zero; harmonics 1 .. limit - 1 keep amplitude and phase.
        for (int k = 1; k < harmonicLimits[(size_t) b]; ++k)
        {
            work[(size_t) (2 * k)] = bins[(size_t) k].real();
            work[(size_t) (2 * k + 1)] = bins[(size_t) k].imag();
        }

        fft.performRealOnlyInverseTransform (work.data());

        auto* table = set->data.get() + (size_t) b * stride;
        std::copy (work.begin(), work.begin() + tableSize, table);
        table[tableSize] = table[0];

        for (int i = 0; i < tableSize && ! anyNonZero; ++i)
            anyNonZero = table[i] != 0.0f;

        // Values near the largest float overflow in the transform; such a source plays silence.
        for (int i = 0; i <= tableSize; ++i)
            if (! std::isfinite (table[i]))
                return std::make_shared<WaveTableSet>();
    }

    for (int b = 0; b < numBands; ++b)
    {
        const auto* table = set->data.get() + (size_t) b * stride;
        auto* pair = set->pairs.get() + (size_t) b * stride * 2;

        for (int i = 0; i < tableSize; ++i)
        {
            pair[2 * i] = table[i];
            pair[2 * i + 1] = table[i + 1] - table[i];
        }
    }

    set->silent = ! anyNonZero;
    return set;
}

int WaveTableSet::bandForFrequency (float hertz) noexcept
{
    if (! (hertz < 80.0f))
    {
        float edge = 160.0f;

        for (int b = 1; b < numBands; ++b, edge *= 2.0f)
            if (hertz < edge)
                return b;

        return -1;
    }

    return 0;
}

const WaveTableSet& WaveTableSet::silence()
{
    static const WaveTableSet silentSet;
    return silentSet;
}
