#pragma once

#include <QString>

class cOfflineAssembly;

// The processor's whole signal path as a CamillaDSP configuration of
// version 3, to run as written once its placeholder devices are replaced:
//  - devices at 96000 Hz, 2 capture and 6 playback channels;
//  - the input strips (Gain) on the two capture channels, then a mixer that
//    feeds each input to its three outputs, playback channels in the order
//    Low L, Low R, Mid L, Mid R, High L, High R;
//  - per output: its high-pass and low-pass as the biquads the panel runs
//    (a BiquadCombo where the panel runs a whole Butterworth slope), its
//    equaliser bands (Biquad), its delay (Delay, in samples) and its output
//    strip (Gain with inverted and mute).
// Bypassed filters and bands run nothing and are left out. Filter parameters
// are those of the standard 96 kHz designs that give the processor's curves
// (see StandardFilter); gains are those the strips' linear values mean.
// False with `error` for a configuration CamillaDSP cannot run as the
// processor does (a filter at or above half the sample rate, an unknown
// slope).
bool ExportCamillaConfiguration(const cOfflineAssembly& assembly, const QString& source, QString& yaml, QString& error);
