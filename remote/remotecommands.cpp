#include "remotecommands.h"

#include "timecode.h"

#include <cmath>

namespace
{
enum class ValueRule { None, Range };

struct Entry {
    const char *name;
    GeneratorCommand::Kind kind;
    ValueRule rule;
    int min;
    int max;
};

// Place values are the operator's numbers: 0 the system time, 1..9 places.
constexpr Entry table[] = {
    {"play", GeneratorCommand::Play, ValueRule::None, 0, 0},
    {"pause", GeneratorCommand::Pause, ValueRule::None, 0, 0},
    {"playpause", GeneratorCommand::PlayPause, ValueRule::None, 0, 0},
    {"freeze", GeneratorCommand::Freeze, ValueRule::None, 0, 0},
    {"reset", GeneratorCommand::Reset, ValueRule::None, 0, 0},
    {"place", GeneratorCommand::Place, ValueRule::Range, 0, 9},
    {"format", GeneratorCommand::Format, ValueRule::Range, 0, 3},
    {"playlist", GeneratorCommand::Playlist, ValueRule::Range, 0, 1},
};

RemoteCommands::Outcome refuse(const QString &reason)
{
    return {RemoteCommands::Outcome::Refuse, {}, reason};
}
} // namespace

namespace RemoteCommands
{
Outcome interpret(const QString &name, std::optional<double> value)
{
    const Entry *entry = nullptr;
    for (const Entry &e : table) {
        if (name == QLatin1String(e.name))
            entry = &e;
    }
    if (!entry)
        return refuse(QStringLiteral("unknown command \"%1\"").arg(name));
    if (value && !std::isfinite(*value))
        return refuse(QStringLiteral("%1: value is not a number").arg(name));

    GeneratorCommand command;
    command.kind = entry->kind;
    if (entry->rule == ValueRule::None) {
        if (value && *value == 0.0)
            return {Outcome::Release, command, {}};
        return {Outcome::Perform, command, {}};
    }
    if (!value)
        return refuse(
            QStringLiteral("%1: needs a value %2..%3").arg(name).arg(entry->min).arg(entry->max));
    const double rounded = std::round(*value);
    if (std::fabs(*value - rounded) > 1e-6 || rounded < entry->min || rounded > entry->max)
        return refuse(QStringLiteral("%1: value %2 is not one of %3..%4")
                          .arg(name)
                          .arg(*value)
                          .arg(entry->min)
                          .arg(entry->max));
    command.value = int(rounded);
    if (command.kind == GeneratorCommand::Place)
        command.value = command.value == 0 ? Place::SystemTime : command.value - 1;
    return {Outcome::Perform, command, {}};
}
} // namespace RemoteCommands
