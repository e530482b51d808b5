#include "SignalMeasures.h"

#include <algorithm>
#include <cmath>
#include <complex>

double estimateFrequency (const float* x, int numSamples, double sampleRate)
{
    double first = -1.0, last = -1.0;
    int crossings = 0;

    for (int i = 1; i < numSamples; ++i)
    {
        if (x[i - 1] < 0.0f && x[i] >= 0.0f)
        {
            const double t = (i - 1) + (double) -x[i - 1] / ((double) x[i] - x[i - 1]);

            if (first < 0.0)
                first = t;
            else
                ++crossings;

            last = t;
        }
    }

    return crossings > 0 ? crossings * sampleRate / (last - first) : 0.0;
}

double rms (const float* x, int n)
{
    double sum = 0.0;

    for (int i = 0; i < n; ++i)
        sum += (double) x[i] * x[i];

    return n > 0 ? std::sqrt (sum / n) : 0.0;
}

float peak (const float* x, int n)
{
    float m = 0.0f;

    for (int i = 0; i < n; ++i)
        m = std::max (m, std::abs (x[i]));

    return m;
}

double toneAmplitude (const float* x, int n, double sampleRate, double hertz)
{
    std::complex<double> sum;
    double windowSum = 0.0;

    for (int i = 0; i < n; ++i)
    {
        const double w = 0.5 - 0.5 * std::cos (2.0 * M_PI * i / (n - 1));
        const double phase = -2.0 * M_PI * hertz * i / sampleRate;
        sum += w * x[i] * std::complex<double> (std::cos (phase), std::sin (phase));
        windowSum += w;
    }

    return 2.0 * std::abs (sum) / windowSum;
}

double dominantFrequency (const float* x, int n, double sampleRate, double lowest, double highest)
{
    auto amplitude = [&] (double hertz) { return toneAmplitude (x, n, sampleRate, hertz); };
    const double step = std::exp2 (1.0 / 48.0);
    double best = lowest, bestAmplitude = -1.0;

    for (double f = lowest; f <= highest; f *= step)
        if (const auto a = amplitude (f); a > bestAmplitude)
        {
            best = f;
            bestAmplitude = a;
        }

    // Golden-section search on the peak found.
    double lo = best / step, hi = best * step;

    for (int i = 0; i < 40; ++i)
    {
        const double m1 = lo + (hi - lo) * 0.382, m2 = hi - (hi - lo) * 0.382;

        if (amplitude (m1) < amplitude (m2))
            lo = m1;
        else
            hi = m2;
    }

    return 0.5 * (lo + hi);
}
