#include "plugin/vst/effect_base.h"

#include <climits>
#include <cstring>

EffectBase* effectFromRecord(AEffect* effect) {
    if (effect == nullptr || effect->magic != kEffectMagic) {
        return nullptr;
    }
    return static_cast<EffectBase*>(effect->object);
}

EffectBase::EffectBase(audioMasterCallback hostCallback, int32_t programCount,
                       int32_t parameterCount)
    : hostCallback(hostCallback), programCount(programCount), parameterCount(parameterCount) {
    std::memset(&effectRecord, 0, sizeof(effectRecord));
    effectRecord.magic = kEffectMagic;
    effectRecord.dispatcher = &EffectBase::dispatchAdapter;
    effectRecord.process = &EffectBase::processAdapter;
    effectRecord.setParameter = &EffectBase::setParameterAdapter;
    effectRecord.getParameter = &EffectBase::getParameterAdapter;
    effectRecord.processReplacing = &EffectBase::processReplacingAdapter;
    effectRecord.processDoubleReplacing = &EffectBase::processDoubleReplacingAdapter;
    effectRecord.numPrograms = programCount;
    effectRecord.numParams = parameterCount;
    effectRecord.numInputs = 1;
    effectRecord.numOutputs = 2;
    effectRecord.ioRatio = 1.0f;
    effectRecord.object = this;
    effectRecord.uniqueID = kDefaultUniqueId;
    effectRecord.version = 1;
    effectRecord.flags = effFlagsCanReplacing;
}

EffectBase::~EffectBase() {
    // A record that outlives its object must not lead back to freed memory.
    effectRecord.magic = 0;
    effectRecord.object = nullptr;
}

intptr_t EffectBase::dispatchAdapter(AEffect* effect, int32_t opcode, int32_t index, intptr_t value,
                                     void* ptr, float opt) {
    EffectBase* self = effectFromRecord(effect);
    if (self == nullptr) {
        return 0;
    }
    return opcode == effClose ? self->closeAndDestroy(index, value, ptr, opt)
                              : self->dispatcher(opcode, index, value, ptr, opt);
}

intptr_t EffectBase::closeAndDestroy(int32_t index, intptr_t value, void* ptr, float opt) {
    dispatcher(effClose, index, value, ptr, opt);
    delete this;
    return 1;
}

void EffectBase::processAdapter(AEffect* effect, float** inputs, float** outputs,
                                int32_t sampleFrames) {
    if (EffectBase* self = effectFromRecord(effect); self && outputs && sampleFrames > 0) {
        self->processAccumulating(inputs, outputs, sampleFrames);
    }
}

void EffectBase::processReplacingAdapter(AEffect* effect, float** inputs, float** outputs,
                                         int32_t sampleFrames) {
    if (EffectBase* self = effectFromRecord(effect); self && outputs && sampleFrames > 0) {
        self->processReplacing(inputs, outputs, sampleFrames);
    }
}

void EffectBase::processDoubleReplacingAdapter(AEffect* effect, double** inputs, double** outputs,
                                               int32_t sampleFrames) {
    if (EffectBase* self = effectFromRecord(effect); self && outputs && sampleFrames > 0) {
        self->processDoubleReplacing(inputs, outputs, sampleFrames);
    }
}

void EffectBase::setParameterAdapter(AEffect* effect, int32_t index, float value) {
    if (EffectBase* self = effectFromRecord(effect)) {
        self->setParameter(index, value);
    }
}

float EffectBase::getParameterAdapter(AEffect* effect, int32_t index) {
    EffectBase* self = effectFromRecord(effect);
    return self ? self->getParameter(index) : 0.0f;
}

intptr_t EffectBase::dispatcher(int32_t opcode, int32_t index, intptr_t value, void* ptr,
                                float opt) {
    char* text = static_cast<char*>(ptr);
    switch (opcode) {
        case effOpen:
            open();
            return 0;
        case effClose:
            close();
            return 0;
        case effSetProgram:
            // Values beyond 32 bits cannot name a program; dropping them keeps a
            // truncated number from selecting an unrelated one.
            if (value < programCount && value >= INT32_MIN) {
                setProgram(static_cast<int32_t>(value));
            }
            return 0;
        case effGetProgram:
            return getProgram();
        case effSetProgramName:
            if (text) {
                setProgramName(text);
            }
            return 0;
        case effGetProgramName:
            if (text) {
                getProgramName(text);
            }
            return 0;
        case effGetParamLabel:
            if (text) {
                getParameterLabel(index, text);
            }
            return 0;
        case effGetParamDisplay:
            if (text) {
                getParameterDisplay(index, text);
            }
            return 0;
        case effGetParamName:
            if (text) {
                getParameterName(index, text);
            }
            return 0;
        case effSetSampleRate:
            setSampleRate(opt);
            return 0;
        case effSetBlockSize:
            setBlockSize(static_cast<int32_t>(value));
            return 0;
        case effMainsChanged:
            if (value == 0) {
                suspend();
            } else {
                resume();
            }
            return 0;
        case effEditGetRect:
            return editor && ptr ? editor->getRect(static_cast<void**>(ptr)) : 0;
        case effEditOpen:
            return editor ? editor->open(ptr) : 0;
        case effEditClose:
            if (editor) {
                editor->close();
            }
            return 0;
        case effEditIdle:
            if (editor) {
                editor->idle();
            }
            return 0;
        case effIdentify:
            return kEffectIdentify;
        case effGetChunk:
            return ptr ? getChunk(static_cast<void**>(ptr), index != 0) : 0;
        case effSetChunk:
            return ptr ? setChunk(ptr, static_cast<int32_t>(value), index != 0) : 0;
        default:
            return 0;
    }
}

intptr_t EffectBase::callHost(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
    return hostCallback(&effectRecord, opcode, index, value, ptr, opt);
}

intptr_t EffectBase::setParameterAutomated(int32_t index, float value) {
    setParameter(index, value);
    return hostCallback ? callHost(audioMasterAutomate, index, 0, nullptr, value) : 0;
}

int32_t EffectBase::getMasterVersion() {
    if (!hostCallback) {
        return 1;
    }
    const intptr_t answer = callHost(audioMasterVersion);
    return answer == 0 ? 1 : static_cast<int32_t>(answer);
}

int32_t EffectBase::getCurrentUniqueId() {
    return hostCallback ? static_cast<int32_t>(callHost(audioMasterCurrentId)) : 0;
}

intptr_t EffectBase::masterIdle() {
    return hostCallback ? callHost(audioMasterIdle) : 0;
}

bool EffectBase::isInputConnected(int32_t input) {
    return hostCallback ? callHost(audioMasterPinConnected, input, 0) == 0 : true;
}

bool EffectBase::isOutputConnected(int32_t output) {
    return hostCallback ? callHost(audioMasterPinConnected, output, 1) == 0 : true;
}

void EffectBase::setFlag(int32_t bit, bool state) {
    if (state) {
        effectRecord.flags |= bit;
    } else {
        effectRecord.flags &= ~bit;
    }
}
