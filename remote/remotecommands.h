#pragma once

#include "generatorcommand.h"

#include <QString>

#include <optional>

// The commands both remotes understand, by name, with the rule for their
// value. OSC addresses are "/orvello/" and the name; the web page's JSON
// carries the name in "command" and the number in "value". A new command is
// one more row in the table.
namespace RemoteCommands
{
struct Outcome {
    enum Verdict {
        Perform, // `command` is to be done
        Release, // a button's release (a value of 0 on a command without one): nothing to do
        Refuse   // `reason` says what was wrong
    };
    Verdict verdict = Refuse;
    GeneratorCommand command;
    QString reason;
};

// `value` is the argument when one was given, as a number. Commands without
// a value accept none or one number (0 is the release of a button, anything
// else a press, as control surfaces send them); the others need a whole
// number in their range, a float such as 3.0 included.
Outcome interpret(const QString &name, std::optional<double> value);
} // namespace RemoteCommands
