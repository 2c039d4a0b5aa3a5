// SPDX-License-Identifier: MIT
#include "store/ModelContainer.h"

#include "store/ContextCore.h"
#include "store/KelvaneMigrationPlan.h"
#include "store/SaveAnnouncer.h"
#include "store/SqliteConnection.h"
#include "store/StoreError.h"
#include "store/StoreFile.h"

#include <sqlite3.h>

#include <algorithm>

namespace kelvane::store {

struct ModelContainer::Shared {
    ModelConfiguration configuration;
    std::shared_ptr<detail::SaveAnnouncer> announcer = std::make_shared<detail::SaveAnnouncer>();
};

bool SaveNotification::touches(std::string_view entityName) const {
    return std::find(changedEntities.begin(), changedEntities.end(), entityName) != changedEntities.end();
}

std::shared_ptr<ModelContainer> ModelContainer::open(const ModelConfiguration& configuration) {
    detail::prepareStoreFile(configuration.url, configuration.busyTimeout);
    auto shared = std::make_shared<Shared>();
    shared->configuration = configuration;
    return std::shared_ptr<ModelContainer>(new ModelContainer(std::move(shared)));
}

ModelContainer::ModelContainer(std::shared_ptr<Shared> shared) : shared_(std::move(shared)) {
    mainContext_ = makeContext(ModelContext::Access::readWrite);
}

ModelContainer::~ModelContainer() = default;

const std::filesystem::path& ModelContainer::url() const { return shared_->configuration.url; }

SchemaVersion ModelContainer::schemaVersion() const { return KelvaneMigrationPlan::currentVersion; }

ModelContext& ModelContainer::mainContext() { return *mainContext_; }

std::unique_ptr<ModelContext> ModelContainer::makeContext(ModelContext::Access access) {
    auto core = std::make_shared<detail::ContextCore>(shared_->configuration.url, access,
                                                      shared_->configuration.busyTimeout, shared_->announcer);
    return std::unique_ptr<ModelContext>(new ModelContext(std::move(core)));
}

void ModelContainer::verifyWritable() const {
    const auto& configuration = shared_->configuration;
    try {
        detail::SqliteConnection connection(configuration.url, detail::SqliteConnection::Mode::readWrite,
                                            StoreError::Code::cannotOpen);
        connection.setBusyTimeout(configuration.busyTimeout);
        // The write lock alone is granted on a read-only file; only a write
        // is refused. It is rolled back before anything reaches the file.
        connection.execute("BEGIN IMMEDIATE", StoreError::Code::cannotOpen);
        connection.execute(R"(CREATE TABLE "KelvaneWriteProbe" ("x"))", StoreError::Code::cannotOpen);
        connection.execute("ROLLBACK", StoreError::Code::cannotOpen);
    } catch (const StoreError& error) {
        // Another process writing right now: the file itself takes writes.
        if ((error.sqliteCode() & 0xFF) == SQLITE_BUSY)
            return;
        throw StoreError(StoreError::Code::cannotOpen,
                         "The store \"" + configuration.url.string() + "\" cannot be written: " + error.what(),
                         error.sqliteCode());
    }
}

std::uint64_t ModelContainer::addSaveObserver(SaveObserver observer) { return shared_->announcer->add(std::move(observer)); }

void ModelContainer::removeSaveObserver(std::uint64_t token) { shared_->announcer->remove(token); }

std::shared_ptr<ModelContainer> makeModelContainer(const std::filesystem::path& url) {
    return ModelContainer::open(ModelConfiguration{url});
}

}  // namespace kelvane::store
