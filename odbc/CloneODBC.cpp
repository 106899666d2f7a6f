// Clone groups: one origin connects, up to 64 members share its handles.
#include "QueryImpl.h"

#include <array>

struct TCloneODBC::Impl {
    std::string name;
    TQueryODBC* origin = nullptr;
    std::array<TQueryODBC*, TCloneODBC::kMaxMembers + 1> members{};  // slots 1..64

    bool addMember(TQueryODBC* q) {
        for (int slot = 1; slot <= TCloneODBC::kMaxMembers; ++slot)
            if (!members[static_cast<size_t>(slot)]) {
                members[static_cast<size_t>(slot)] = q;
                return true;
            }
        return false;
    }
    void removeMember(TQueryODBC* q) {
        for (auto& m : members)
            if (m == q) m = nullptr;
    }
};

namespace {

[[noreturn]] void raiseClone(const std::string& text) {
    throw EODBCError(TqoErrorInfo{kNoFunction, kNoState, 0, kClonePrefix + text});
}

// Forgets the shared handles of a member, dropping its statements first.
void detachMember(TQueryODBC::Impl& m) {
    if (!m.connected) return;
    m.freeStatements(0);
    m.takePending();   // the member loses its statements either way
    m.henv = SQL_NULL_HENV;
    m.hdbc = SQL_NULL_HDBC;
    m.connected = false;
    m.notifyState(qoStateCloneDetached);
}

}  // namespace

TCloneODBC::TCloneODBC(const std::string& name) : d(std::make_unique<Impl>()) { d->name = name; }

TCloneODBC::~TCloneODBC() {
    for (TQueryODBC* member : d->members) {
        if (!member) continue;
        detachMember(*member->d);
        member->d->clone = nullptr;
    }
    if (d->origin) {
        d->origin->d->clone = nullptr;
        d->origin->d->cloneOrigin = false;
    }
}

TQueryODBC* TCloneODBC::Origin() const { return d->origin; }

void TCloneODBC::SetOrigin(TQueryODBC* origin) {
    if (origin == d->origin) return;
    if (d->origin && d->origin->Connected()) raiseClone(kMsgCloneUnableConnected);
    if (origin && origin->d->clone == this && origin->Connected()) raiseClone(kMsgCloneUnableConnected);

    if (origin && origin->d->clone && origin->d->clone != this) origin->SetClone(nullptr);
    if (origin) d->removeMember(origin);

    if (TQueryODBC* old = d->origin) {
        d->origin = nullptr;
        old->d->cloneOrigin = false;
        if (!d->addMember(old)) old->d->clone = nullptr;   // a full group lets it go
    }
    if (!origin) return;
    origin->d->clone = this;
    origin->d->cloneOrigin = true;
    d->origin = origin;
    if (origin->Connected()) origin->CloneConnect(nullptr);
}

void TCloneODBC::Connect() {
    if (!d->origin) raiseClone(kMsgCloneOriginNeeded);
    d->origin->Connect();
}

void TCloneODBC::Disconnect() {
    if (!d->origin) raiseClone(kMsgCloneOriginNeeded);
    d->origin->Disconnect();
}

void TCloneODBC::Commit() {
    if (!d->origin) raiseClone(kMsgCloneOriginNeeded);
    d->origin->Commit();
}

void TCloneODBC::Rollback() {
    if (!d->origin) raiseClone(kMsgCloneOriginNeeded);
    d->origin->Rollback();
}

void TQueryODBC::SetClone(TCloneODBC* c) {
    Impl& m = *d;
    if (c == m.clone) return;
    if (c) {
        // Checks come first so that a refusal leaves everything as it was.
        // The origin of another group leaves it as a plain component and
        // joins as a member; only a component that is origin without a
        // group joins as origin.
        if (m.connected) Impl::raiseMessage(kMsgCloneOriginConnected);
        const bool joinsAsOrigin = m.cloneOrigin && !m.clone;
        if (joinsAsOrigin && c->d->origin && c->d->origin != this)
            raiseClone(kMsgCloneOriginAlready + c->d->origin->Name());
    }
    if (TCloneODBC* old = m.clone) {
        if (m.cloneOrigin && old->d->origin == this) {
            if (m.connected) CloneDisconnect(nullptr);  // members must not keep our handles
            old->d->origin = nullptr;
            m.cloneOrigin = false;                      // an origin only of its own group
        } else {
            old->d->removeMember(this);
            detachMember(m);
        }
        m.clone = nullptr;
    }
    if (!c) return;
    if (m.cloneOrigin) {
        c->d->origin = this;
        m.clone = c;
    } else if (c->d->addMember(this)) {
        m.clone = c;
        if (c->d->origin && c->d->origin->Connected()) c->d->origin->CloneConnect(this);
    }
}

void TQueryODBC::SetCloneOrigin(bool v) {
    Impl& m = *d;
    if (v == m.cloneOrigin) return;
    if (m.connected) Impl::raiseMessage(kMsgCloneOriginConnected);
    TCloneODBC* c = m.clone;
    if (!c) {
        m.cloneOrigin = v;
        return;
    }
    if (v) {
        if (c->d->origin && c->d->origin != this) raiseClone(kMsgCloneOriginAlready + c->d->origin->Name());
        c->d->removeMember(this);
        c->d->origin = this;
        m.cloneOrigin = true;
    } else {
        if (c->d->origin == this) c->d->origin = nullptr;
        m.cloneOrigin = false;
        if (!c->d->addMember(this)) m.clone = nullptr;
    }
}

void TQueryODBC::CloneConnect(TQueryODBC* member) {
    Impl& m = *d;
    if (!m.cloneOrigin || !m.clone) Impl::raiseMessage(kMsgCloneConnectInternal);
    for (TQueryODBC* q : m.clone->d->members) {
        if (!q || (member && q != member)) continue;
        Impl& t = *q->d;
        t.henv = m.henv;
        t.hdbc = m.hdbc;
        t.connected = m.connected;
        q->LockConcurrency = LockConcurrency;
        t.cursorDynamic = m.cursorDynamic;
        t.driverConnect = m.driverConnect;
        t.fetchScroll = m.fetchScroll;
        t.hasFirst = m.hasFirst;
        t.hasLast = m.hasLast;
        t.hasPrior = m.hasPrior;
        t.hasAbsolute = m.hasAbsolute;
        t.hasRelative = m.hasRelative;
        t.hasResume = m.hasResume;
        t.hasBookmark = m.hasBookmark;
        t.readOnly = m.readOnly;
        t.transaction = m.transaction;
        t.useUserName = m.useUserName;
        t.dsName = m.dsName;
        q->FileDSN = FileDSN;
        t.userID = m.userID;
        t.password = m.password;
        t.connectInfo = m.connectInfo;
        t.odbcVersion = m.odbcVersion;
        t.charAsWChar = m.charAsWChar;
        t.notifyState(qoStateConnected);
    }
}

void TQueryODBC::CloneDisconnect(TQueryODBC* member) {
    Impl& m = *d;
    if (!m.cloneOrigin || !m.clone) Impl::raiseMessage(kMsgCloneDisconnectInternal);
    for (TQueryODBC* q : m.clone->d->members) {
        if (!q || (member && q != member)) continue;
        detachMember(*q->d);
    }
}
