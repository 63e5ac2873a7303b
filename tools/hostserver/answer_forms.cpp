#include "tools/hostserver/answer_forms.h"

#include "drawing/com/failure_text.h"

#include <charconv>
#include <cmath>
#include <stdexcept>

namespace tvx::hostserver {

const char* const kAnswerFormUsage =
    "--answer-form [OPERATION:]KIND=FORM answers in that form (every operation, or one):\n"
    "  int=i4|i2|r8|bstr  bool=bool|i4  text=bstr|null|empty  array=r8|variant|i4|empty\n"
    "  object=dispatch|unknown\n";

namespace {

struct KindForms {
    const char* name;
    AnswerKind kind;
    std::vector<std::string> forms; // the first is the default
};

const std::vector<KindForms>& kinds() {
    static const std::vector<KindForms> table{
        {"int", AnswerKind::Integer, {"i4", "i2", "r8", "bstr"}},
        {"bool", AnswerKind::Boolean, {"bool", "i4"}},
        {"text", AnswerKind::Text, {"bstr", "null", "empty"}},
        {"array", AnswerKind::Array, {"r8", "variant", "i4", "empty"}},
        {"object", AnswerKind::Object, {"dispatch", "unknown"}},
    };
    return table;
}

std::string number(double value) {
    char buf[64];
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
    return ec == std::errc() ? std::string(buf, end) : std::string("?");
}

// A whole number in the integer form; the trace shows it as sent.
void putWhole(VARIANT& v, std::int32_t value, const std::string& form, std::string& trace) {
    if (form == "i2" && value >= -32768 && value <= 32767) {
        v.vt = VT_I2;
        v.iVal = static_cast<SHORT>(value);
        trace += "I2 " + std::to_string(value);
    } else if (form == "r8") {
        v.vt = VT_R8;
        v.dblVal = value;
        trace += "R8 " + std::to_string(value);
    } else if (form == "bstr") {
        v.vt = VT_BSTR;
        v.bstrVal = com::UniqueBstr(std::to_wstring(value)).detach();
        trace += "BSTR \"" + std::to_string(value) + "\"";
    } else {
        v.vt = VT_I4;
        v.lVal = value;
        trace += "I4 " + std::to_string(value);
    }
}

bool isWhole(double value) {
    return std::isfinite(value) && std::trunc(value) == value && std::fabs(value) <= 2147483647.0;
}

std::vector<double> readDoubles(SAFEARRAY* array) {
    std::vector<double> out;
    LONG lower = 0;
    LONG upper = -1;
    if (array == nullptr || FAILED(SafeArrayGetLBound(array, 1, &lower)) ||
        FAILED(SafeArrayGetUBound(array, 1, &upper))) {
        return out;
    }
    for (LONG i = lower; i <= upper; ++i) {
        double value = 0.0;
        if (FAILED(SafeArrayGetElement(array, &i, &value))) {
            throw std::runtime_error("the answer's array cannot be read");
        }
        out.push_back(value);
    }
    return out;
}

// The doubles of a SAFEARRAY of R8 again, as the array form has them.
void reshapeArray(Answer& answer, const std::string& form, const std::string& integerForm) {
    const std::vector<double> values = readDoubles(answer.value.get().parray);
    const VARTYPE element = form == "variant" ? VT_VARIANT : form == "i4" ? VT_I4 : VT_R8;
    const ULONG count = form == "empty" ? 0 : static_cast<ULONG>(values.size());
    com::UniqueSafeArray array = com::UniqueSafeArray::attach(SafeArrayCreateVector(element, 0, count));
    if (!array.get()) {
        throw std::bad_alloc();
    }
    std::string trace = "ARRAY[";
    for (ULONG i = 0; i < count; ++i) {
        LONG index = static_cast<LONG>(i);
        trace += i == 0 ? "" : ", ";
        HRESULT hr = S_OK;
        if (element == VT_VARIANT) {
            // As a careless server builds it: whole numbers as integers, the rest as doubles.
            UniqueVariant item;
            if (isWhole(values[i])) {
                putWhole(item.get(), static_cast<std::int32_t>(values[i]), integerForm, trace);
            } else {
                item.get().vt = VT_R8;
                item.get().dblVal = values[i];
                trace += "R8 " + number(values[i]);
            }
            hr = SafeArrayPutElement(array.get(), &index, item.addressOf());
        } else if (element == VT_I4) {
            const double rounded = std::nearbyint(values[i]);
            LONG value = std::fabs(rounded) <= 2147483647.0 ? static_cast<LONG>(rounded) : 0;
            trace += "I4 " + std::to_string(value);
            hr = SafeArrayPutElement(array.get(), &index, &value);
        } else {
            double value = values[i];
            trace += "R8 " + number(value);
            hr = SafeArrayPutElement(array.get(), &index, &value);
        }
        if (FAILED(hr)) {
            throw std::runtime_error("array element not stored: " + com::describeHresult(hr));
        }
    }
    UniqueVariant reshaped;
    reshaped.get().vt = static_cast<VARTYPE>(VT_ARRAY | element);
    reshaped.get().parray = array.detach();
    answer.value = std::move(reshaped);
    answer.trace = trace + "]";
}

} // namespace

void AnswerForms::add(const std::string& rule) {
    const auto equals = rule.find('=');
    if (equals == std::string::npos) {
        throw std::invalid_argument("--answer-form needs KIND=FORM, got \"" + rule + "\"");
    }
    const auto colon = rule.rfind(':', equals);
    const std::string operation = colon == std::string::npos ? std::string() : rule.substr(0, colon);
    const std::string kind = rule.substr(colon == std::string::npos ? 0 : colon + 1,
                                         equals - (colon == std::string::npos ? 0 : colon + 1));
    const std::string form = rule.substr(equals + 1);
    if (colon != std::string::npos && operation.empty()) {
        throw std::invalid_argument("--answer-form names no operation before \":\"");
    }
    for (const KindForms& k : kinds()) {
        if (kind != k.name) {
            continue;
        }
        for (const std::string& f : k.forms) {
            if (f == form) {
                rules_.push_back({operation, k.kind, form});
                return;
            }
        }
        throw std::invalid_argument("--answer-form " + kind + " has no form \"" + form + "\"");
    }
    throw std::invalid_argument("--answer-form knows no kind \"" + kind + "\"");
}

std::string AnswerForms::formFor(const std::string& operation, AnswerKind kind, const char* fallback) const {
    std::string form = fallback;
    for (const AnswerFormRule& rule : rules_) {
        if (rule.kind == kind && (rule.operation.empty() || rule.operation == operation)) {
            form = rule.form;
        }
    }
    return form;
}

void AnswerForms::reshape(const std::string& operation, Answer& answer) const {
    if (rules_.empty()) {
        return;
    }
    VARIANT& v = answer.value.get();
    if (v.vt == VT_I4) {
        const std::string form = formFor(operation, AnswerKind::Integer, "i4");
        const std::int32_t value = v.lVal;
        UniqueVariant reshaped;
        answer.trace.clear();
        putWhole(reshaped.get(), value, form, answer.trace);
        answer.value = std::move(reshaped);
    } else if (v.vt == VT_BOOL) {
        if (formFor(operation, AnswerKind::Boolean, "bool") == "i4") {
            const bool value = v.boolVal != VARIANT_FALSE;
            v.vt = VT_I4;
            v.lVal = value ? 1 : 0;
            answer.trace = value ? "I4 1" : "I4 0";
        }
    } else if (v.vt == VT_BSTR && SysStringLen(v.bstrVal) == 0) {
        const std::string form = formFor(operation, AnswerKind::Text, "bstr");
        if (form != "bstr") {
            answer.value = UniqueVariant();
            if (form == "null") {
                answer.value.get().vt = VT_BSTR;
                answer.value.get().bstrVal = nullptr;
                answer.trace = "BSTR null";
            } else {
                answer.trace = "EMPTY";
            }
        }
    } else if (v.vt == (VT_ARRAY | VT_R8)) {
        const std::string form = formFor(operation, AnswerKind::Array, "r8");
        if (form != "r8") {
            reshapeArray(answer, form, formFor(operation, AnswerKind::Integer, "i4"));
        }
    } else if (v.vt == VT_DISPATCH && v.pdispVal != nullptr) {
        if (formFor(operation, AnswerKind::Object, "dispatch") == "unknown") {
            // The client must ask the object for IDispatch itself.
            auto unknown = ComPtr<IDispatch>::borrow(v.pdispVal).query<IUnknown>();
            answer.value = UniqueVariant();
            answer.value.get().vt = VT_UNKNOWN;
            answer.value.get().punkVal = unknown.detach();
            const std::string prefix = "DISPATCH ";
            if (answer.trace.compare(0, prefix.size(), prefix) == 0) {
                answer.trace = "UNKNOWN " + answer.trace.substr(prefix.size());
            }
        }
    }
}

} // namespace tvx::hostserver
