// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// libpq's functions, loaded the first time a server is named: a workstation on a file never maps
// libpq, nor the TLS, Kerberos and LDAP libraries it brings with it.

#include <libpq-fe.h>

#include <QString>

namespace obs::libpq {

#define OBS_LIBPQ_FUNCTIONS(X)                                                                                         \
    X(PQclear)                                                                                                         \
    X(PQcmdTuples)                                                                                                     \
    X(PQconnectPoll)                                                                                                   \
    X(PQconnectStartParams)                                                                                            \
    X(PQconnectdbParams)                                                                                               \
    X(PQconninfoFree)                                                                                                  \
    X(PQconninfoParse)                                                                                                 \
    X(PQconsumeInput)                                                                                                  \
    X(PQerrorMessage)                                                                                                  \
    X(PQexec)                                                                                                          \
    X(PQexecParams)                                                                                                    \
    X(PQfinish)                                                                                                        \
    X(PQflush)                                                                                                         \
    X(PQfreemem)                                                                                                       \
    X(PQgetResult)                                                                                                     \
    X(PQgetisnull)                                                                                                     \
    X(PQgetlength)                                                                                                     \
    X(PQgetvalue)                                                                                                      \
    X(PQisBusy)                                                                                                        \
    X(PQnfields)                                                                                                       \
    X(PQnotifies)                                                                                                      \
    X(PQntuples)                                                                                                       \
    X(PQreset)                                                                                                         \
    X(PQresultErrorField)                                                                                              \
    X(PQresultStatus)                                                                                                  \
    X(PQsendQuery)                                                                                                     \
    X(PQsetNoticeProcessor)                                                                                            \
    X(PQsetnonblocking)                                                                                                \
    X(PQsocket)                                                                                                        \
    X(PQstatus)                                                                                                        \
    X(PQtransactionStatus)

struct Api {
#define OBS_LIBPQ_MEMBER(name) decltype(&::name) name = nullptr;
    OBS_LIBPQ_FUNCTIONS(OBS_LIBPQ_MEMBER)
#undef OBS_LIBPQ_MEMBER
};

// The functions, loaded once; nothing when libpq cannot be loaded, `why` then saying so in French.
const Api* load(QString* why = nullptr);

// The functions, once load() has given them: every connection is made after it.
const Api& api();

} // namespace obs::libpq
