#pragma once

// Build identity. The numbers appear in the version line, the window, the
// Art-Net long name and the update links.
namespace Version
{
constexpr int Major = 2;
constexpr int Minor = 0;
constexpr int Revision = 0;
constexpr int Build = 1;
constexpr const char *ProductName = "Orvello";
// The compiler's own date format, e.g. "Mar  6 2016".
constexpr const char *BuildDate = __DATE__;
} // namespace Version

namespace Maker
{
// Settings scope: a web-domain-style organisation name that must never change,
// since it selects where the stored values live.
constexpr const char *Organisation = "orvello.example";
constexpr const char *Application = "Orvello";
constexpr const char *WebAddress = "www.orvello.example";
} // namespace Maker
