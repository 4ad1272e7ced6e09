// The synthesizer virtual machine: runs the patch once for each of the 16
// voices and so computes one output frame.
#pragma once

#include "synth/synth_object.h"

namespace synth {

// Computes one frame by interpreting the opcode and operand streams: the
// units' contributions are added into the output channels of state.object and
// all voice and delay state advances by one frame. Reads and advances the noise
// seed; reads the frame counter (the caller advances it).
void su_run_vm(SynthState& state);

}  // namespace synth
