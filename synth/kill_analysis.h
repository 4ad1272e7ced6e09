// Which units of an instrument can be left out while envelopes are silent.
//
// Each stack value of an instrument is a node. zero[n]: envelope units whose
// silence makes node n exactly zero (an envelope's output, a product with such
// a value, or a copy of one). moot[n]: envelope units whose silence makes node n
// irrelevant to everything audible: every use of n ends in a product whose other
// factor is zero, or feeds only units that are themselves moot. A unit is moot
// when all its results are; a unit with effects beyond its results (outputs,
// delays, envelopes, the compressor, `in`) never is, and a send is moot when
// its target unit and its passed-on value are.
//
// An envelope that is silent for good (level 0 in sustain or release) stays
// so until its voice restarts, which clears every unit's state: a unit that is
// moot under it can be skipped from then on without changing a single output
// bit (its products are +0 or -0 either way, and the sign of a zero never
// reaches a nonzero value in this machine).
#pragma once

#include <cstdint>

#include "synth/song_patch.h"
#include "synth/synth_object.h"

namespace synth {
namespace kill_analysis {

constexpr int kMaxNodes = 4 * kMaxUnitsPerVoice;

struct UnitFlow {
    int inputs[4] = {};   // top first
    int inputCount = 0;
    int outputs[4] = {};  // top first
    int outputCount = 0;
};

constexpr bool hasOutsideEffects(SuOpcode op) {
    switch (op) {
        case SuOpcode::envelope:
        case SuOpcode::outaux:
        case SuOpcode::out:
        case SuOpcode::delay:
        case SuOpcode::compressor:
        case SuOpcode::in:
            return true;
        default:
            return false;
    }
}

// Inputs taken from the stack and results left on it, per unit.
constexpr void stackEffect(SuOpcode op, bool stereo, int& taken, int& left) {
    const int pair = stereo ? 2 : 1;
    switch (op) {
        case SuOpcode::noise: taken = 0; left = 1; break;
        case SuOpcode::send: taken = 1; left = 1; break;  // a consuming send leaves nothing; fixed below
        case SuOpcode::oscillator: taken = 0; left = pair; break;
        case SuOpcode::filter: taken = pair; left = pair; break;
        case SuOpcode::envelope: taken = 0; left = pair; break;
        case SuOpcode::mulp: taken = 2 * pair; left = pair; break;
        case SuOpcode::addp: taken = 2; left = 1; break;
        case SuOpcode::pan: taken = pair; left = 2; break;
        case SuOpcode::outaux: taken = 2; left = 0; break;
        case SuOpcode::distort: taken = 1; left = 1; break;
        case SuOpcode::delay: taken = pair; left = pair; break;
        case SuOpcode::add: taken = 2; left = 2; break;
        case SuOpcode::loadnote: taken = 0; left = 1; break;
        case SuOpcode::compressor: taken = 2; left = 4; break;
        case SuOpcode::push: taken = 1; left = 2; break;
        case SuOpcode::xch: taken = 2; left = 2; break;
        case SuOpcode::in: taken = 0; left = 2; break;
        case SuOpcode::out: taken = 2; left = 0; break;
        case SuOpcode::end: taken = 0; left = 0; break;
    }
}

struct FlowGraph {
    UnitFlow units[kMaxUnitsPerVoice];
    std::uint64_t zero[kMaxNodes] = {};
    int nodeCount = 0;
};

// Builds the nodes of one instrument and their zero sets.
constexpr void buildFlow(const std::uint8_t* opcodes, int unitCount, const bool* sendConsumes, FlowGraph& g) {
    int stack[16] = {};
    int depth = 0;
    for (int u = 0; u < unitCount; ++u) {
        const auto op = static_cast<SuOpcode>(opcodes[u] >> 1);
        const bool stereo = opcodes[u] & 1;
        UnitFlow& f = g.units[u];
        int taken = 0;
        int left = 0;
        stackEffect(op, stereo, taken, left);
        if (op == SuOpcode::send && sendConsumes[u]) left = 0;
        for (int i = 0; i < taken && depth > 0; ++i) f.inputs[f.inputCount++] = stack[--depth];
        for (int i = 0; i < left && g.nodeCount < kMaxNodes; ++i) f.outputs[i] = g.nodeCount++;
        f.outputCount = left;
        // Results pushed bottom first: outputs[left-1] lowest, outputs[0] on top.
        for (int i = left - 1; i >= 0; --i) stack[depth++] = f.outputs[i];

        auto zeroOf = [&](int inputIndex) { return inputIndex < f.inputCount ? g.zero[f.inputs[inputIndex]] : 0; };
        switch (op) {
            case SuOpcode::envelope:
                for (int i = 0; i < left; ++i) g.zero[f.outputs[i]] = std::uint64_t{1} << u;
                break;
            case SuOpcode::mulp:
                for (int i = 0; i < left; ++i) g.zero[f.outputs[i]] = zeroOf(i) | zeroOf(i + left);
                break;
            case SuOpcode::send:
                if (left == 1) g.zero[f.outputs[0]] = zeroOf(0);
                break;
            case SuOpcode::push:
                g.zero[f.outputs[0]] = g.zero[f.outputs[1]] = zeroOf(0);
                break;
            case SuOpcode::add:  // a + b over b: the sum is zero when both are
                g.zero[f.outputs[0]] = zeroOf(0) & zeroOf(1);
                g.zero[f.outputs[1]] = zeroOf(1);
                break;
            case SuOpcode::distort:  // the shaping curve maps 0 to 0
                g.zero[f.outputs[0]] = zeroOf(0);
                break;
            case SuOpcode::xch:
                g.zero[f.outputs[0]] = zeroOf(1);
                g.zero[f.outputs[1]] = zeroOf(0);
                break;
            case SuOpcode::pan:
                if (stereo) {
                    g.zero[f.outputs[0]] = zeroOf(0);
                    g.zero[f.outputs[1]] = zeroOf(1);
                } else {
                    g.zero[f.outputs[0]] = g.zero[f.outputs[1]] = zeroOf(0);
                }
                break;
            default:
                break;
        }
    }
}

}  // namespace kill_analysis

// The kill masks of one instrument's units: bit e of killMasks[u] set means
// unit u can be skipped while envelope unit e is silent for good. `opcodes` is
// the instrument's opcode bytes without the end byte; for a send unit u,
// sendTargets[u] is the unit of the same voice it reaches (-1: none, or another
// voice) and sendConsumes[u] whether it takes the signal off the stack.
constexpr void computeKillMasks(const std::uint8_t* opcodes, int unitCount, const int* sendTargets, const bool* sendConsumes,
                      std::uint64_t* killMasks) {
    using namespace kill_analysis;
    std::uint64_t envelopes = 0;
    for (int u = 0; u < unitCount; ++u) {
        if (static_cast<SuOpcode>(opcodes[u] >> 1) == SuOpcode::envelope) envelopes |= std::uint64_t{1} << u;
    }
    auto targetOf = [&](int u) { return sendTargets[u]; };

    FlowGraph g;
    buildFlow(opcodes, unitCount, sendConsumes, g);

    // Greatest fixed point: start from "moot whenever any envelope is silent"
    // and narrow until stable.
    std::uint64_t mootNode[kMaxNodes] = {};
    std::uint64_t mootUnit[kMaxUnitsPerVoice] = {};
    for (int n = 0; n < g.nodeCount; ++n) mootNode[n] = envelopes;
    for (int u = 0; u < unitCount; ++u) {
        mootUnit[u] = hasOutsideEffects(static_cast<SuOpcode>(opcodes[u] >> 1)) ? 0 : envelopes;
    }
    // Node users: which unit takes node n, at which input index.
    int userUnit[kMaxNodes] = {};
    int userInput[kMaxNodes] = {};
    for (int n = 0; n < g.nodeCount; ++n) userUnit[n] = -1;
    for (int u = 0; u < unitCount; ++u) {
        for (int i = 0; i < g.units[u].inputCount; ++i) {
            userUnit[g.units[u].inputs[i]] = u;
            userInput[g.units[u].inputs[i]] = i;
        }
    }

    for (bool changed = true; changed;) {
        changed = false;
        for (int n = 0; n < g.nodeCount; ++n) {
            const int u = userUnit[n];
            std::uint64_t moot = 0;
            if (u >= 0 && !hasOutsideEffects(static_cast<SuOpcode>(opcodes[u] >> 1))) {
                const UnitFlow& f = g.units[u];
                const int i = userInput[n];
                const auto op = static_cast<SuOpcode>(opcodes[u] >> 1);
                const int target = targetOf(u);
                const std::uint64_t targetMoot = target >= 0 && target < unitCount ? mootUnit[target] : 0;
                switch (op) {
                    case SuOpcode::mulp: {
                        // Inputs: top pair first; input i pairs with input (i + pair) mod 2pair.
                        const int pair = f.outputCount;
                        const int partner = i < pair ? i + pair : i - pair;
                        moot = g.zero[f.inputs[partner]] | mootNode[f.outputs[i % pair]];
                        break;
                    }
                    case SuOpcode::send:
                        moot = targetMoot & (f.outputCount ? mootNode[f.outputs[0]] : ~std::uint64_t{0});
                        break;
                    case SuOpcode::add:
                        // a (top) only reaches the sum; b reaches the sum and stays below it.
                        moot = i == 0 ? mootNode[f.outputs[0]] : mootNode[f.outputs[0]] & mootNode[f.outputs[1]];
                        break;
                    case SuOpcode::filter:
                    case SuOpcode::distort:
                        moot = mootNode[f.outputs[i]];
                        break;
                    case SuOpcode::pan:
                        moot = f.inputCount == 2 ? mootNode[f.outputs[i]]
                                                 : mootNode[f.outputs[0]] & mootNode[f.outputs[1]];
                        break;
                    default:
                        moot = envelopes;
                        for (int o = 0; o < f.outputCount; ++o) moot &= mootNode[f.outputs[o]];
                        break;
                }
            }
            if (moot != mootNode[n]) {
                mootNode[n] = moot;
                changed = true;
            }
        }
        for (int u = 0; u < unitCount; ++u) {
            const auto op = static_cast<SuOpcode>(opcodes[u] >> 1);
            if (hasOutsideEffects(op)) continue;
            const UnitFlow& f = g.units[u];
            std::uint64_t moot = envelopes;
            for (int o = 0; o < f.outputCount; ++o) moot &= mootNode[f.outputs[o]];
            if (op == SuOpcode::send) {
                const int target = targetOf(u);
                moot &= target >= 0 && target < unitCount ? mootUnit[target] : 0;
            }
            if (f.outputCount == 0 && op != SuOpcode::send) moot = 0;
            if (moot != mootUnit[u]) {
                mootUnit[u] = moot;
                changed = true;
            }
        }
    }
    for (int u = 0; u < unitCount; ++u) killMasks[u] = mootUnit[u];
}

}  // namespace synth
