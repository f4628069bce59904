#pragma once

#include "Platform/shortcuts/GlobalShortcuts.h"

#include <map>
#include <vector>

// Grabs recorded in memory; combinations listed in `taken` belong to another app.
class FakeGlobalShortcuts : public GlobalShortcuts {
public:
    Failure grab(quint32 id, const Shortcut &shortcut, int *status) override {
        const HotKeyBinding &binding = shortcut.binding;
        for (const HotKeyBinding &t : taken) {
            if (t.sameCombination(binding)) {
                *status = 10;
                return Failure::inUseByAnotherApp;
            }
        }
        grabs[id] = binding;
        return Failure::none;
    }
    void release(quint32 id) override { grabs.erase(id); }
    Kind kind() const override { return Kind::x11Grabs; }
    bool keyboardHeldElsewhere() const override { return keyboardHeld; }

    void press(const HotKeyBinding &binding) {
        for (const auto &[id, b] : grabs) {
            if (b.sameCombination(binding)) {
                emit activated(id);
                return;
            }
        }
    }

    std::map<quint32, HotKeyBinding> grabs;
    std::vector<HotKeyBinding> taken;
    bool keyboardHeld = false;
};
