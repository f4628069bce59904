#pragma once

#include "Orvell/core/AppEnvironment.h"
#include "settings/Autostart.h"
#include "support/FakeGlobalShortcuts.h"

#include <QFileInfo>
#include <QTemporaryDir>

#include <memory>

// The app's object graph over an in-memory settings store, shortcuts that
// grab nothing and a library in a temporary folder.
struct TestEnvironment {
    struct NoAutostart : Autostart {
        bool enabled = false;
        QString failure; // set to make the next change fail with it
        bool isEnabled() const override { return enabled; }
        bool setEnabled(bool value, QString *error) override {
            if (!failure.isEmpty()) {
                *error = failure;
                return false;
            }
            enabled = value;
            return true;
        }
    };

    // A microphone that hears what the test puts in `level` and counts who has it open.
    struct FakeMicrophone : AudioSource {
        explicit FakeMicrophone(int *open)
            : m_open(open) {}
        ~FakeMicrophone() override { stop(); }
        bool start(Sink sink, QString *) override {
            if (!m_started)
                ++*m_open;
            m_started = true;
            const std::vector<float> half(1600, 0.5f);
            sink(half.data(), half.size());
            return true;
        }
        void stop() override {
            if (m_started)
                --*m_open;
            m_started = false;
        }
        int *m_open;
        bool m_started = false;
    };

    QTemporaryDir dir;
    FakeGlobalShortcuts *shortcuts = nullptr;
    NoAutostart *login = nullptr;
    int microphonesOpen = 0;
    std::unique_ptr<AppEnvironment> env;

    // Without a library of its own: the user's (as XDG_DATA_HOME says); with
    // `root`, that folder.
    explicit TestEnvironment(bool ownLibrary = true, const QString &root = {},
                             bool withMicrophone = false) {
        AppEnvironment::Services services;
        services.settings = SettingsStore::inMemory();
        auto autostart = std::make_unique<NoAutostart>();
        login = autostart.get();
        services.autostart = std::move(autostart);
        if (withMicrophone)
            services.microphone = [this] {
                return std::unique_ptr<AudioSource>(new FakeMicrophone(&microphonesOpen));
            };
        auto fake = std::make_unique<FakeGlobalShortcuts>();
        shortcuts = fake.get();
        services.shortcuts = std::move(fake);
        if (!root.isEmpty())
            services.libraryRoot = root;
        else if (ownLibrary)
            services.libraryRoot = dir.filePath("library");
        // Beside the library, so a second environment on it finds them.
        services.unsavedFolders = QStringList{
            services.libraryRoot.isEmpty() ? dir.filePath("unsaved")
                                           : QFileInfo(services.libraryRoot).path() + "/unsaved"};
        env = std::make_unique<AppEnvironment>(std::move(services));
    }
};
