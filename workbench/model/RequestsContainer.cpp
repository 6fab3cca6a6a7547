#include "model/RequestsContainer.h"

namespace torvex {
namespace {

using Nodes = std::vector<std::unique_ptr<CRequestsContainer::Node>>;

template <typename Visit> void walk(const Nodes& nodes, Visit& visit) {
    for (const auto& node : nodes) {
        visit(*node->request);
        walk(node->children, visit);
    }
}

bool removeFrom(Nodes& nodes, int id) {
    for (auto it = nodes.begin(); it != nodes.end(); ++it) {
        if ((*it)->request->id == id) {
            nodes.erase(it);
            return true;
        }
        if (removeFrom((*it)->children, id)) return true;
    }
    return false;
}

} // namespace

CRequest* CRequestsContainer::findById(int id) {
    std::lock_guard guard(mutex_);
    CRequest* found = nullptr;
    forEach([&](CRequest& request) {
        if (!found && request.id == id) found = &request;
    });
    return found;
}

CRequest& CRequestsContainer::append(std::unique_ptr<CRequest> request) {
    std::lock_guard guard(mutex_);
    auto node     = std::make_unique<Node>();
    node->request = std::move(request);
    nodes_.push_back(std::move(node));
    return *nodes_.back()->request;
}

bool CRequestsContainer::remove(int id) {
    std::lock_guard guard(mutex_);
    lastCaptured = nullptr;
    return removeFrom(nodes_, id);
}

void CRequestsContainer::clear() {
    std::lock_guard guard(mutex_);
    nodes_.clear();
    lastCaptured = nullptr;
}

int CRequestsContainer::count() const {
    std::lock_guard guard(mutex_);
    int n = 0;
    forEach([&](const CRequest&) { ++n; });
    return n;
}

void CRequestsContainer::copyFrom(const CRequestsContainer& other) {
    if (&other == this) return;
    std::scoped_lock guard(mutex_, other.mutex_);
    nodes_.clear();
    lastCaptured = nullptr;
    other.forEach([&](const CRequest& request) {
        auto node     = std::make_unique<Node>();
        node->request = std::make_unique<CRequest>(request);
        nodes_.push_back(std::move(node));
    });
}

void CRequestsContainer::swap(CRequestsContainer& other) {
    if (&other == this) return;
    std::scoped_lock guard(mutex_, other.mutex_);
    nodes_.swap(other.nodes_);
    lastCaptured       = nullptr;
    other.lastCaptured = nullptr;
}

bool CRequestsContainer::requestsText(std::string& out) const {
    std::lock_guard guard(mutex_);
    out.clear();
    bool generated = true;
    forEach([&](const CRequest& request) {
        if (generated) generated = request.definitionText(out);
    });
    return generated;
}

void CRequestsContainer::forEach(const std::function<void(const CRequest&)>& visit) const {
    walk(nodes_, visit);
}

void CRequestsContainer::forEach(const std::function<void(CRequest&)>& visit) {
    auto mutableVisit = [&](const CRequest& request) { visit(const_cast<CRequest&>(request)); };
    walk(nodes_, mutableVisit);
}

} // namespace torvex
