#pragma once

#include "AppEnvironment.h"
#include "settings/LoginItem.h"
#include "support/FakeGlobalShortcuts.h"

#include <QTemporaryDir>

#include <memory>

// The app's object graph over an in-memory settings store, shortcuts that
// grab nothing and a library in a temporary folder.
struct TestEnvironment {
    struct NoLoginItem : LoginItem {
        bool isEnabled() const override { return false; }
        bool setEnabled(bool, QString *) override { return true; }
    };

    QTemporaryDir dir;
    FakeGlobalShortcuts *shortcuts = nullptr;
    std::unique_ptr<AppEnvironment> env;

    // Without a library of its own: the user's (as XDG_DATA_HOME says); with
    // `root`, that folder.
    explicit TestEnvironment(bool ownLibrary = true, const QString &root = {}) {
        AppEnvironment::Services services;
        services.settings = SettingsStore::inMemory();
        services.loginItem = std::make_unique<NoLoginItem>();
        auto fake = std::make_unique<FakeGlobalShortcuts>();
        shortcuts = fake.get();
        services.shortcuts = std::move(fake);
        if (!root.isEmpty())
            services.libraryRoot = root;
        else if (ownLibrary)
            services.libraryRoot = dir.filePath("library");
        env = std::make_unique<AppEnvironment>(std::move(services));
    }
};
