#include "synth/vm.h"

#include <cstdint>

#include "synth/song_patch.h"
#include "synth/units.h"

namespace synth {
namespace {

// What a unit routine gets: its stereo flag, the voice's parameter area, the
// voice slot, its own record, the operand cursor (after its parameter bytes)
// and the machine's registers.
struct UnitCall {
    bool stereo;
    float* params;
    float* voice;
    float* record;
    const std::uint8_t*& operands;
    SignalStack& stack;
    SynthState& state;
};

std::uint8_t readByte(const std::uint8_t*& cursor) { return *cursor++; }

std::uint16_t readWord(const std::uint8_t*& cursor) {
    const std::uint16_t low = readByte(cursor);
    return static_cast<std::uint16_t>(low | (readByte(cursor) << 8));
}

auto plainRate(const float* params) {
    return [params](int i) { return su_rate(params[i]); };
}

void runOscillator(UnitCall& c) {
    // The sampled waveform takes its sample number from the raw colour byte,
    // the fourth of the six parameter bytes just read.
    const std::uint8_t sampleNumber = c.operands[kColor - 6];
    const std::uint8_t flags = readByte(c.operands);
    oscillatorUnit(c.stereo, c.record, c.params, loadInt(c.voice[kNoteWord]), flags, sampleNumber, c.stack,
                   [flags](int, double pitch) { return oscIncrement(pitch, flags); });
}

void runDelay(UnitCall& c) {
    const std::uint8_t firstTime = readByte(c.operands);
    const int lines = delayLinesPerChannel(readByte(c.operands));
    const std::uint32_t w = c.state.context.frame & kDelayIndexMask;
    float*& cursor = c.state.context.delayCursor;
    const std::uint16_t* times = su_delay_times + firstTime;
    if (c.stereo) {
        c.stack.top(1) = delayChannel(cursor, lines, times, c.params, w, c.stack.top(1));
        cursor += lines * kDelayLineWords;
        times += lines;
    }
    c.stack.top() = delayChannel(cursor, lines, times, c.params, w, c.stack.top());
    cursor += lines * kDelayLineWords;
}

void runUnit(SuOpcode op, UnitCall& c) {
    float* channels = outputChannels(c.state.object);
    switch (op) {
        case SuOpcode::noise:
            c.stack.push(noiseValue(c.state.context.noiseSeed, c.params));
            break;
        case SuOpcode::send: {
            const std::uint16_t address = readWord(c.operands);
            sendUnit(c.params[0], address, sendTarget(address, c.state.object, c.voice), c.stack);
            break;
        }
        case SuOpcode::oscillator:
            runOscillator(c);
            break;
        case SuOpcode::filter:
            filterUnit(c.stereo, c.record, c.params, readByte(c.operands), c.stack);
            break;
        case SuOpcode::envelope: {
            const double value = envelopeStep(c.record, loadInt(c.voice[kGateWord]), c.params, plainRate(c.params));
            c.stack.push(value);
            if (c.stereo) c.stack.push(value);
            break;
        }
        case SuOpcode::mulp:
            mulpUnit(c.stereo, c.stack);
            break;
        case SuOpcode::addp:
            addpUnit(c.stack);
            break;
        case SuOpcode::pan:
            panUnit(c.stereo, c.params[0], c.stack);
            break;
        case SuOpcode::outaux:
            outauxUnit(c.params, channels, c.stack);
            break;
        case SuOpcode::distort:
            c.stack.top() = su_waveshape(c.stack.top(), c.params[0]);
            break;
        case SuOpcode::delay:
            runDelay(c);
            break;
        case SuOpcode::add:
            addUnit(c.stack);
            break;
        case SuOpcode::loadnote:
            c.stack.push(loadnoteValue(loadInt(c.voice[kNoteWord])));
            break;
        case SuOpcode::compressor:
            compressorUnit(c.record, c.params, c.stack, plainRate(c.params));
            break;
        case SuOpcode::push:
            c.stack.push(c.stack.top());
            break;
        case SuOpcode::xch:
            xchUnit(c.stack);
            break;
        case SuOpcode::in:
            inUnit(readByte(c.operands), channels, c.stack);
            break;
        case SuOpcode::out:
            outUnit(c.params[0], channels, c.stack);
            break;
        case SuOpcode::end:
            break;
    }
}

}  // namespace

void su_run_vm(SynthState& state) {
    const std::uint8_t* opcodes = su_patch_opcodes;
    const std::uint8_t* operands = su_patch_operands;
    const std::uint8_t* instrumentOpcodes = opcodes;
    const std::uint8_t* instrumentOperands = operands;
    state.context.delayCursor = state.delays.words;
    SignalStack stack;
    float* voice = voiceSlot(state.object, 0);
    for (int remaining = kVoiceCount; remaining > 0;) {
        float* record = voice;
        for (;;) {
            const std::uint8_t byte = *opcodes++;
            record += kUnitWords;
            const int number = byte >> 1;
            if (number == 0) break;
            float* params = voice + kParameterWord;
            float* modulation = record + kModulationWord;
            for (int i = 0; i < su_vm_transformcounts[number - 1]; ++i) {
                params[i] = static_cast<float>(*operands++ * static_cast<double>(su_constants::kByteToParam) +
                                               modulation[i]);
                modulation[i] = 0.0f;
            }
            UnitCall call{(byte & 1) != 0, params, voice, record, operands, stack, state};
            runUnit(static_cast<SuOpcode>(number), call);
        }
        voice += kVoiceSlotWords;
        --remaining;
        if ((kInstrumentVoiceMask >> remaining) & 1) {
            opcodes = instrumentOpcodes;
            operands = instrumentOperands;
        }
        instrumentOpcodes = opcodes;
        instrumentOperands = operands;
    }
}

}  // namespace synth
