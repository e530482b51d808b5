#pragma once

/** Measurements of rendered audio, free of the product's code so that every test binary (the plug-in
    host tests included) can use them. */

/** Fundamental frequency from positive-going zero crossings, interpolated. */
double estimateFrequency (const float* samples, int numSamples, double sampleRate);

double rms (const float* samples, int numSamples);
float peak (const float* samples, int numSamples);

/** Amplitude of the component at a frequency (Goertzel over the whole span, Hann-windowed). */
double toneAmplitude (const float* samples, int numSamples, double sampleRate, double hertz);

/** The frequency of the strongest component between lowest and highest (a tone's fundamental when
    it dominates, whatever the zero crossings of its wave do). */
double dominantFrequency (const float* samples, int numSamples, double sampleRate, double lowest = 20.0, double highest = 8000.0);
