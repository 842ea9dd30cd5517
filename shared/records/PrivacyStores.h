#pragma once

class AssistanceTracker;
class AuditLogger;
class UserDefaults;

// The stores whose contents the privacy pages measure and erase, reached through their owners; a store
// left out counts as empty and cannot be erased.
struct PrivacyStores
{
    AuditLogger* auditLogger = nullptr;
    AssistanceTracker* assistance = nullptr;
    UserDefaults* defaults = nullptr;
};
