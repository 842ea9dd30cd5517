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
        return QCoreApplication::translate("TourTexts", "Processes Monitor");
    default:
        return QCoreApplication::translate("TourTexts", "Settings & Diagnostics");
    }
}

QString text(int step)
{
    switch (step) {
    case 0:
        return QCoreApplication::translate("TourTexts",
            "Your state-of-the-art system co-pilot. Tailored profiles, instant cache cleaners, and real-time "
            "hardware metrics optimized for the way you work.");
    case 1:
        return QCoreApplication::translate("TourTexts",
            "Quorvane dynamically monitors your workflow state and shifts between Compile Mode, AI First Mode, "
            "and Battery Mode to optimize resources.");
    case 2:
        return QCoreApplication::translate("TourTexts",
            "Prune space-hogging build directories, compiler registries, game shaders, and video render files "
            "with a single click. Keep your computer clean and performant.");
    case 3:
        return QCoreApplication::translate("TourTexts",
            "🧠 Tracks active memory allocation pressure, swap metrics, and currently loaded local Ollama models.");
    case 4:
        return QCoreApplication::translate("TourTexts",
            "⭕ Displays real-time cores utilization division (P-cores, E-cores) and current system diode "
            "temperatures.");
    case 5:
        return QCoreApplication::translate("TourTexts",
            "⚡ Highlights active processes consuming the most resources. You can freeze or resume them directly.");
    default:
        return QCoreApplication::translate("TourTexts",
            "Open preferences to coordinate background automatic modes, adjust process polling intervals, and "
            "check detailed hardware specifications.");
    }
}

} // namespace TourTexts
