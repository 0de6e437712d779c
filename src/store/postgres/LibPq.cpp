// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/postgres/LibPq.h"

#include <QStringList>

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>

namespace obs::libpq {

namespace {

// libpq's soname, the one Debian's libpq5 installs.
constexpr const char* kLibrary = "libpq.so.5";

struct Loaded {
    Api api;
    QString why; // empty once loaded
};

Loaded loadOnce() {
    Loaded l;
    void* handle = dlopen(kLibrary, RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        l.why = QStringLiteral("La bibliothèque d'accès au serveur PostgreSQL (%1) n'a pas pu être chargée : installez "
                               "le paquet libpq5.\nDétail technique : %2")
                    .arg(QString::fromLatin1(kLibrary), QString::fromLocal8Bit(dlerror()));
        return l;
    }
    QStringList missing;
#define OBS_LIBPQ_FIND(name)                                                                                           \
    l.api.name = reinterpret_cast<decltype(&::name)>(dlsym(handle, #name));                                            \
    if (!l.api.name)                                                                                                   \
        missing << QStringLiteral(#name);
    OBS_LIBPQ_FUNCTIONS(OBS_LIBPQ_FIND)
#undef OBS_LIBPQ_FIND
    if (!missing.isEmpty()) {
        l.why =
            QStringLiteral("La bibliothèque d'accès au serveur PostgreSQL (%1) est trop ancienne : il lui manque %2.")
                .arg(QString::fromLatin1(kLibrary), missing.join(QStringLiteral(", ")));
        l.api = {};
    }
    // Kept loaded for the program's life: connections may be open until its end.
    return l;
}

const Loaded& loaded() {
    static const Loaded l = loadOnce();
    return l;
}

} // namespace

const Api* load(QString* why) {
    const Loaded& l = loaded();
    if (!l.why.isEmpty()) {
        if (why)
            *why = l.why;
        return nullptr;
    }
    return &l.api;
}

const Api& api() {
    const Api* a = load();
    if (!a) {
        // Only reached by a connection that was never opened: a fault of the program, not of the server.
        std::fprintf(stderr, "obsledger: %s\n", qPrintable(loaded().why));
        std::abort();
    }
    return *a;
}

} // namespace obs::libpq
