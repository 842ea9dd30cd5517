#include "TourTexts.h"

#include <QCoreApplication>

namespace TourTexts {

QString title(int step)
{
    switch (step) {
    case 0:
        return QCoreApplication::translate("TourTexts", "Welcome to Quorvane");
    case 1:
        return QCoreApplication::translate("TourTexts", "Automatic Persona Engine");
    case 2:
        return QCoreApplication::translate("TourTexts", "Clean Cache Sweepers");
    case 3:
        return QCoreApplication::translate("TourTexts", "AI & RAM Monitor");
    case 4:
        return QCoreApplication::translate("TourTexts", "CPU & GPU Rings");
    case 5:
        return QCoreApplication::translate("TourTexts", "Actions & Personas");
    default:
        return QCoreApplication::translate("TourTexts", "Settings & Diagnostics");
    }
}

namespace {

// The CPU tab splits the cores by kind only on a CPU of two kinds, and shows a temperature only where a
// sensor gives one.
QString cpuText(const Facts& facts)
{
    if (facts.coreKinds && facts.temperature)
        return QCoreApplication::translate("TourTexts",
            "⭕ Displays real-time cores utilization division (P-cores, E-cores) and current system diode "
            "temperatures.");
    if (facts.coreKinds)
        return QCoreApplication::translate("TourTexts",
            "⭕ Displays real-time cores utilization division (P-cores, E-cores); this machine reports no "
            "temperature.");
    if (facts.temperature)
        return QCoreApplication::translate(
            "TourTexts", "⭕ Displays real-time utilization of every core and current system diode temperatures.");
    return QCoreApplication::translate(
        "TourTexts", "⭕ Displays real-time utilization of every core; this machine reports no temperature.");
}

} // namespace

QString text(int step, const Facts& facts)
{
    switch (step) {
    case 0:
        return QCoreApplication::translate("TourTexts",
            "Your state-of-the-art system co-pilot. Tailored profiles, instant cache cleaners, and real-time "
            "hardware metrics optimized for the way you work.");
    case 1:
        // The persona rules run only where the helper acts for this copy.
        if (!facts.canPause)
            return QCoreApplication::translate("TourTexts",
                "Quorvane shifts between Compile Mode, AI First Mode, and Battery Mode only through its helper, "
                "which does not act for this copy, so it pauses nothing.");
        return QCoreApplication::translate("TourTexts",
            "Quorvane dynamically monitors your workflow state and shifts between Compile Mode, AI First Mode, "
            "and Battery Mode to optimize resources.");
    case 2:
        // What the storage tab cleans: the developer cache table and the unused model files.
        return QCoreApplication::translate("TourTexts",
            "Prune space-hogging package caches, Python wheels, unused models, and model checkpoints with a "
            "single click. Keep your computer clean and performant.");
    case 3:
        // The memory tab draws swap only once some is in use.
        return QCoreApplication::translate("TourTexts",
            "🧠 Tracks system memory, free headroom, swap once it is in use, and currently loaded local Ollama "
            "models.");
    case 4:
        return cpuText(facts);
    case 5:
        // The actions tab: recommended actions, the assistance history and the persona override.
        if (!facts.canPause)
            return QCoreApplication::translate("TourTexts",
                "⚡ Recommends one-click fixes for memory and storage. Without its helper, switching personas "
                "pauses nothing.");
        return QCoreApplication::translate("TourTexts",
            "⚡ Recommends one-click fixes for memory and storage, and lets you switch personas or resume frozen "
            "processes.");
    default:
        return QCoreApplication::translate("TourTexts",
            "Open preferences to coordinate background automatic modes, adjust process polling intervals, and "
            "check detailed hardware specifications.");
    }
}

} // namespace TourTexts
