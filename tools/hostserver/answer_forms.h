// The forms the server's answers take. A real automation server may send one value in several
// forms (a whole number as I2, I4 or R8, an empty string as a null BSTR, an object as IUnknown),
// so the server can answer in each of them, for all operations or for one, and the client's
// acceptance of every form is tested. Some forms can only be refused (text for a number, an
// empty array); they test that the refusal is reported.
#pragma once

#include "tools/hostserver/dispatch_core.h"

#include <string>
#include <vector>

namespace tvx::hostserver {

enum class AnswerKind { Integer, Boolean, Text, Array, Object };

struct AnswerFormRule {
    std::string operation; // empty: every operation
    AnswerKind kind;
    std::string form;
};

class AnswerForms {
public:
    // "KIND=FORM" for every operation, "OPERATION:KIND=FORM" for one; later rules win.
    //   int=i4|i2|r8|bstr  bool=bool|i4  text=bstr|null|empty  array=r8|variant|i4|empty
    //   object=dispatch|unknown
    // Throws std::invalid_argument naming what is wrong.
    void add(const std::string& rule);
    bool empty() const { return rules_.empty(); }

    // Rewrites an answer of the operation into the forms chosen for it, trace included.
    void reshape(const std::string& operation, Answer& answer) const;

private:
    std::string formFor(const std::string& operation, AnswerKind kind, const char* fallback) const;

    std::vector<AnswerFormRule> rules_;
};

extern const char* const kAnswerFormUsage;

} // namespace tvx::hostserver
