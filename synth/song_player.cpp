#include "synth/song_player.h"

#include <array>
#include <bit>
#include <cmath>
#include <limits>
#include <utility>

#include "synth/kill_analysis.h"
#include "synth/oscillator_pairs.h"
#include "synth/song_tables.h"
#include "synth/units.h"

namespace synth {
namespace {

// --------------------------------------------------------------- compiling

void resetCaches(PlayerUnit& unit) {
    for (float& key : unit.rateKey) key = std::numeric_limits<float>::quiet_NaN();
    for (double& key : unit.pitchKey) key = std::numeric_limits<double>::quiet_NaN();
}

// --------------------------------------------------------------- running

QV_ALWAYS_INLINE double cachedRate(PlayerUnit& unit, const float* params, int i) {
    if (!(params[i] == unit.rateKey[i])) {
        unit.rateKey[i] = params[i];
        unit.rateValue[i] = su_rate(params[i]);
    }
    return unit.rateValue[i];
}

// Where each opcode's operands begin, and each instrument's first opcode and
// unit count, worked out from the patch at compile time.
struct PatchLayout {
    int operandOffset[std::size(su_patch_opcodes)] = {};
    int depthBefore[std::size(su_patch_opcodes)] = {};  // signal stack depth when the unit starts
    int unitIndex[std::size(su_patch_opcodes)] = {};    // unit number within its instrument
    int instrumentOf[std::size(su_patch_opcodes)] = {};
    bool sentTo[kInstrumentCount][kMaxUnitsPerVoice] = {};  // some send of the patch reaches the unit
    bool unbalancedInstrument = false;
    int instrumentOpcode[kInstrumentCount] = {};
    int instrumentUnits[kInstrumentCount] = {};
    int voiceInstrument[kVoiceCount] = {};
};

constexpr PatchLayout layPatchOut() {
    PatchLayout layout;
    int operand = 0;
    int instrument = 0;
    int units = 0;
    int depth = 0;
    for (int i = 0; i < static_cast<int>(std::size(su_patch_opcodes)); ++i) {
        layout.operandOffset[i] = operand;
        layout.depthBefore[i] = depth;
        layout.unitIndex[i] = units;
        layout.instrumentOf[i] = instrument;
        const int number = su_patch_opcodes[i] >> 1;
        if (number != 0) {
            int taken = 0;
            int left = 0;
            kill_analysis::stackEffect(static_cast<SuOpcode>(number), su_patch_opcodes[i] & 1, taken, left);
            const bool consumingSend = number == static_cast<int>(SuOpcode::send) && (su_patch_operands[operand + 1] & 8);
            depth += (consumingSend ? 0 : left) - taken;
        }
        if (number == 0) {
            if (depth != 0) layout.unbalancedInstrument = true;
            depth = 0;
            layout.instrumentUnits[instrument] = units;
            if (++instrument < kInstrumentCount) layout.instrumentOpcode[instrument] = i + 1;
            units = 0;
            continue;
        }
        ++units;
        operand += su_vm_transformcounts[number - 1] + kInlineByteCounts[number - 1];
    }
    int voiceInstrument = 0;
    for (int v = 0; v < kVoiceCount; ++v) {
        layout.voiceInstrument[v] = voiceInstrument;
        if (!((kInstrumentVoiceMask >> (kVoiceCount - 1 - v)) & 1)) ++voiceInstrument;
    }
    for (int i = 0; i < static_cast<int>(std::size(su_patch_opcodes)); ++i) {
        if ((su_patch_opcodes[i] >> 1) != static_cast<int>(SuOpcode::send)) continue;
        const int operand = layout.operandOffset[i];
        const int address = su_patch_operands[operand + 1] | (su_patch_operands[operand + 2] << 8);
        int word = (address & 0x7FFF) | 8;
        int targetInstrument = layout.instrumentOf[i];
        if (address & 0x8000) {
            if (word < kFirstVoiceWord || (word - kFirstVoiceWord) / kVoiceSlotWords >= kVoiceCount) continue;
            targetInstrument = layout.voiceInstrument[(word - kFirstVoiceWord) / kVoiceSlotWords];
            word = (word - kFirstVoiceWord) % kVoiceSlotWords;
        }
        const int unit = word / kUnitWords - 1;
        if (unit >= 0 && unit < kMaxUnitsPerVoice) layout.sentTo[targetInstrument][unit] = true;
    }
    return layout;
}

inline constexpr PatchLayout kLayout = layPatchOut();

// Kill masks of every unit of the patch, by opcode index.
struct PatchKillMasks {
    std::uint64_t mask[std::size(su_patch_opcodes)] = {};
};

constexpr PatchKillMasks findKillMasks() {
    PatchKillMasks masks;
    for (int instrument = 0; instrument < kInstrumentCount; ++instrument) {
        const int first = kLayout.instrumentOpcode[instrument];
        const int units = kLayout.instrumentUnits[instrument];
        int sendTargets[kMaxUnitsPerVoice] = {};
        bool sendConsumes[kMaxUnitsPerVoice] = {};
        for (int u = 0; u < units; ++u) {
            sendTargets[u] = -1;
            if ((su_patch_opcodes[first + u] >> 1) != static_cast<int>(SuOpcode::send)) continue;
            const int operand = kLayout.operandOffset[first + u];
            const int address = su_patch_operands[operand + 1] | (su_patch_operands[operand + 2] << 8);
            sendConsumes[u] = (address & 8) != 0;
            const int target = ((address & 0x7FFF) | 8) / kUnitWords - 1;
            if (!(address & 0x8000) && target >= 0) sendTargets[u] = target;
        }
        std::uint64_t kill[kMaxUnitsPerVoice] = {};
        computeKillMasks(su_patch_opcodes + first, units, sendTargets, sendConsumes, kill);
        for (int u = 0; u < units; ++u) masks.mask[first + u] = kill[u];
    }
    return masks;
}

inline constexpr PatchKillMasks kKillMasks = findKillMasks();

inline constexpr std::uint32_t kOscillatorRun = 8;
static_assert(kSamplesPerRow % kOscillatorRun == 0);
static_assert(!kLayout.unbalancedInstrument, "every instrument must leave the signal stack empty");

// Operand byte i, 0 past the end (units without inline bytes ask for none).
constexpr std::uint8_t operandByte(int i) {
    return i < static_cast<int>(std::size(su_patch_operands)) ? su_patch_operands[i] : 0;
}

// What one voice's run needs besides its units.
struct VoiceFrame {
    std::uint64_t& silent;
    std::int32_t note;
    std::int32_t gate;
    std::uint32_t w;
    std::uint32_t frameInRow;
    SynthState& state;
};

// A unit whose result cannot matter: keeps the stack shape (and the noise
// sequence) and computes nothing else.
QV_ALWAYS_INLINE void skipUnit(SuOpcode op, bool stereo, bool sendConsumes, SignalStack& stack,
                               std::uint32_t& noiseSeed) {
    switch (op) {
        case SuOpcode::noise:
            noiseSeed *= 16007u;
            stack.push(0.0);
            break;
        case SuOpcode::send:
            if (sendConsumes) stack.pop();
            break;
        case SuOpcode::oscillator:
            stack.push(0.0);
            if (stereo) stack.push(0.0);
            break;
        case SuOpcode::mulp:
            stack.pop();
            if (stereo) stack.pop();
            break;
        case SuOpcode::addp:
            stack.pop();
            break;
        case SuOpcode::pan:
            if (!stereo) stack.push(0.0);
            break;
        case SuOpcode::loadnote:
        case SuOpcode::push:
            stack.push(0.0);
            break;
        default:  // filter, distort, add, xch: shape unchanged
            break;
    }
}

// Unit `Index` of the opcode stream, with its opcode, flags and operand bytes
// known at compile time.
// The unit's work, with its opcode, flags and operand bytes known at compile
// time; `params` are its parameters for this frame.
template <int Index>
QV_ALWAYS_INLINE void runStep(PlayerUnit& unit, VoiceFrame& f, SignalStack& stack, float* params) {
    constexpr std::uint8_t byte = su_patch_opcodes[Index];
    constexpr auto op = static_cast<SuOpcode>(byte >> 1);
    constexpr bool stereo = (byte & 1) != 0;
    constexpr int operand = kLayout.operandOffset[Index];
    constexpr int count = su_vm_transformcounts[(byte >> 1) - 1];
    constexpr std::uint8_t inlineByte = operandByte(operand + count);

    float* channels = outputChannels(f.state.object);
    if constexpr (op == SuOpcode::noise) {
        stack.push(noiseValue(f.state.context.noiseSeed, params));
    } else if constexpr (op == SuOpcode::send) {
        sendUnit(params[0], unit.sendAddress, *unit.sendTarget, stack);
    } else if constexpr (op == SuOpcode::oscillator) {
        constexpr std::uint8_t flags = inlineByte;
        constexpr std::uint8_t sampleNumber = su_patch_operands[operand + kColor];
        auto increment = [&unit](int i, double pitch) {
            if (!(pitch == unit.pitchKey[i])) {
                unit.pitchKey[i] = pitch;
                unit.incrementValue[i] = oscIncrement(pitch, flags);
            }
            return unit.incrementValue[i];
        };
#if QV_HAVE_OSCILLATOR_PAIRS
        constexpr bool paired = !stereo && (flags & (kOscTrisaw | kOscPulse)) && !(flags & (kOscSample | kOscSine)) &&
                                (flags & kOscUnisonMask) > 0;
#else
        constexpr bool paired = false;
#endif
        // Nothing is ever sent to it, so its parameters, like its note, stay the
        // same for a whole row: its frames are computed ahead, kOscillatorRun
        // at a time (a row holds a whole number of runs). Should its envelope
        // fall silent within a run, the values computed ahead go unused.
        constexpr bool ahead = paired && !kLayout.sentTo[kLayout.instrumentOf[Index]][kLayout.unitIndex[Index]];
        if constexpr (ahead) {
            const std::uint32_t n = f.frameInRow % kOscillatorRun;
            if (n == 0) {
                const double detune = (static_cast<double>(params[kDetune]) - su_constants::kHalf) * 2.0;
                const OscillatorParams p{params[kTranspose], params[kPhase], params[kColor], params[kShape],
                                         params[kGain]};
                pairedOscillatorFrames(unit.record, p, detune, f.note, flags,
                                       [&](int k, double pitch) { return increment(2 * k, pitch); }, unit.frames,
                                       kOscillatorRun);
            }
            stack.push(unit.frames[n]);
        } else if constexpr (paired) {
            const double detune = (static_cast<double>(params[kDetune]) - su_constants::kHalf) * 2.0;
            OscillatorParams p{params[kTranspose], params[kPhase], params[kColor], params[kShape], params[kGain]};
            stack.push(pairedOscillatorChannel(unit.record, p, detune, f.note, flags,
                                               [&](int k, double pitch) { return increment(2 * k, pitch); }));
            params[kPhase] = p.phase;
        } else {
            oscillatorUnit(stereo, unit.record, params, f.note, flags, sampleNumber, stack, increment);
        }
    } else if constexpr (op == SuOpcode::filter) {
        filterUnit(stereo, unit.record, params, inlineByte, stack);
    } else if constexpr (op == SuOpcode::envelope) {
        const double value = envelopeStep(unit.record, f.gate, params, [&](int i) { return cachedRate(unit, params, i); });
        // Silent for good from now until the voice restarts: its product with
        // anything is zero, this frame included.
        if (envelopeIsSilentForGood(unit.record)) f.silent |= std::uint64_t{1} << kLayout.unitIndex[Index];
        stack.push(value);
        if (stereo) stack.push(value);
    } else if constexpr (op == SuOpcode::mulp) {
        mulpUnit(stereo, stack);
    } else if constexpr (op == SuOpcode::addp) {
        addpUnit(stack);
    } else if constexpr (op == SuOpcode::pan) {
        panUnit(stereo, params[0], stack);
    } else if constexpr (op == SuOpcode::outaux) {
        outauxUnit(params, channels, stack);
    } else if constexpr (op == SuOpcode::distort) {
        stack.top() = su_waveshape(stack.top(), params[0]);
    } else if constexpr (op == SuOpcode::delay) {
        constexpr const std::uint16_t* times = su_delay_times + inlineByte;
        constexpr int lines = (static_cast<std::int8_t>(operandByte(operand + count + 1)) + 1) / 2;
        float* line = unit.delayLine;
        if constexpr (stereo) {
            stack.top(1) = delayChannel(line, lines, times, params, f.w, stack.top(1));
            line += lines * kDelayLineWords;
            stack.top() = delayChannel(line, lines, times + lines, params, f.w, stack.top());
        } else {
            stack.top() = delayChannel(line, lines, times, params, f.w, stack.top());
        }
    } else if constexpr (op == SuOpcode::add) {
        addUnit(stack);
    } else if constexpr (op == SuOpcode::loadnote) {
        stack.push(loadnoteValue(f.note));
    } else if constexpr (op == SuOpcode::compressor) {
        compressorUnit(unit.record, params, stack, [&](int i) { return cachedRate(unit, params, i); });
    } else if constexpr (op == SuOpcode::push) {
        stack.push(stack.top());
    } else if constexpr (op == SuOpcode::xch) {
        xchUnit(stack);
    } else if constexpr (op == SuOpcode::in) {
        inUnit(inlineByte, channels, stack);
    } else if constexpr (op == SuOpcode::out) {
        outUnit(params[0], channels, stack);
    }
}

// Unit `Index` of the opcode stream. While nothing has been sent to its
// parameters since its last run (all modulation slots +0), they are exactly the
// operand bytes / 128, which the compiler then sees as constants.
template <int Index>
QV_ALWAYS_INLINE void stepUnit(PlayerUnit& unit, VoiceFrame& f, SignalStack& stack) {
    constexpr std::uint8_t byte = su_patch_opcodes[Index];
    constexpr auto op = static_cast<SuOpcode>(byte >> 1);
    constexpr bool stereo = (byte & 1) != 0;
    constexpr int operand = kLayout.operandOffset[Index];
    constexpr int count = su_vm_transformcounts[(byte >> 1) - 1];
    constexpr bool sendConsumes = op == SuOpcode::send && (operandByte(operand + count) & 8) != 0;

    // The depth is known here; saying so lets the compiler keep the stack in registers.
    stack.size = kLayout.depthBefore[Index];
    constexpr std::uint64_t kill = kKillMasks.mask[Index];
    if constexpr (kill != 0) {
        if (kill & f.silent) {
            skipUnit(op, stereo, sendConsumes, stack, f.state.context.noiseSeed);
            return;
        }
    }
    // Units no send reaches always have all modulation slots +0.
    constexpr bool sentTo = kLayout.sentTo[kLayout.instrumentOf[Index]][kLayout.unitIndex[Index]];
    float* modulation = unit.record + kModulationWord;
    std::uint32_t modulated = 0;
    if constexpr (sentTo) {
        [&]<int... I>(std::integer_sequence<int, I...>) {
            ((modulated |= std::bit_cast<std::uint32_t>(modulation[I])), ...);
        }(std::make_integer_sequence<int, count>{});
    }
    float params[count > 0 ? count : 1];
    if (modulated == 0) {
        [&]<int... I>(std::integer_sequence<int, I...>) {
            ((params[I] = static_cast<float>(su_patch_operands[operand + I] *
                                             static_cast<double>(su_constants::kByteToParam))),
             ...);
        }(std::make_integer_sequence<int, count>{});
        runStep<Index>(unit, f, stack, params);
        return;
    }
    [&]<int... I>(std::integer_sequence<int, I...>) {
        ((params[I] = static_cast<float>(su_patch_operands[operand + I] *
                                             static_cast<double>(su_constants::kByteToParam) +
                                         modulation[I]),
          modulation[I] = 0.0f),
         ...);
    }(std::make_integer_sequence<int, count>{});
    runStep<Index>(unit, f, stack, params);
}

template <int Instrument, int... U>
void runInstrumentUnits(PlayerUnit* units, VoiceFrame& f, std::integer_sequence<int, U...>) {
    SignalStack stack;
    (stepUnit<kLayout.instrumentOpcode[Instrument] + U>(units[U], f, stack), ...);
}

template <int Instrument>
void runInstrument(PlayerUnit* units, VoiceFrame& f) {
    runInstrumentUnits<Instrument>(units, f, std::make_integer_sequence<int, kLayout.instrumentUnits[Instrument]>{});
}

using InstrumentRunner = void (*)(PlayerUnit*, VoiceFrame&);

template <int... I>
constexpr std::array<InstrumentRunner, sizeof...(I)> instrumentRunners(std::integer_sequence<int, I...>) {
    return {&runInstrument<I>...};
}

inline constexpr auto kInstrumentRunners = instrumentRunners(std::make_integer_sequence<int, kInstrumentCount>{});

}  // namespace

void compileSongPlayer(SongPlayer& player, SynthState& state) {
    float* delayLine = state.delays.words;
    player.unitCount = 0;
    for (int v = 0; v < kVoiceCount; ++v) {
        PlayerVoice& voice = player.voices[v];
        voice = PlayerVoice{};
        voice.slot = voiceSlot(state.object, v);
        voice.firstUnit = player.unitCount;
        const int instrument = kLayout.voiceInstrument[v];
        const int first = kLayout.instrumentOpcode[instrument];
        voice.unitCount = kLayout.instrumentUnits[instrument];
        for (int u = 0; u < voice.unitCount; ++u) {
            PlayerUnit& unit = player.units[player.unitCount++];
            unit = PlayerUnit{};
            unit.record = unitRecord(voice.slot, u);
            const std::uint8_t byte = su_patch_opcodes[first + u];
            const auto op = static_cast<SuOpcode>(byte >> 1);
            const std::uint8_t* inlineBytes =
                su_patch_operands + kLayout.operandOffset[first + u] + su_vm_transformcounts[(byte >> 1) - 1];
            if (op == SuOpcode::send) {
                unit.sendAddress = static_cast<std::uint16_t>(inlineBytes[0] | (inlineBytes[1] << 8));
                unit.sendTarget = &sendTarget(unit.sendAddress, state.object, voice.slot);
            } else if (op == SuOpcode::delay) {
                // Lines are handed out in run order, right channel first.
                unit.delayLine = delayLine;
                delayLine += ((byte & 1) ? 2 : 1) * delayLinesPerChannel(inlineBytes[1]) * kDelayLineWords;
            }
            resetCaches(unit);
        }
    }
}

void playFrame(SongPlayer& player, SynthState& state) {
    const std::uint32_t w = state.context.frame & kDelayIndexMask;
    const std::uint32_t frameInRow = state.context.frame % kSamplesPerRow;
    for (int v = 0; v < kVoiceCount; ++v) {
        PlayerVoice& voice = player.voices[v];
        VoiceFrame frame{voice.silent, loadInt(voice.slot[kNoteWord]), loadInt(voice.slot[kGateWord]), w,
                         frameInRow, state};
        kInstrumentRunners[kLayout.voiceInstrument[v]](player.units + voice.firstUnit, frame);
    }
}

void forgetSilentEnvelopes(SongPlayer& player) {
    for (PlayerVoice& voice : player.voices) voice.silent = 0;
}

}  // namespace synth
