#include "store/ModelContainer.h"

#include "store/ContextCore.h"
#include "store/KelvaneMigrationPlan.h"
#include "store/SaveAnnouncer.h"
#include "store/StoreFile.h"

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

std::uint64_t ModelContainer::addSaveObserver(SaveObserver observer) { return shared_->announcer->add(std::move(observer)); }

void ModelContainer::removeSaveObserver(std::uint64_t token) { shared_->announcer->remove(token); }

std::shared_ptr<ModelContainer> makeModelContainer(const std::filesystem::path& url) {
    return ModelContainer::open(ModelConfiguration{url});
}

}  // namespace kelvane::store
