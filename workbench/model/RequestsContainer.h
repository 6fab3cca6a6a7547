#pragma once

#include "model/CaptureSink.h"
#include "model/Request.h"

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace torvex {

// The requests of a scenario: an ordered tree walked in pre-order (a request, its children,
// then its next sibling). The workbench only ever adds top-level requests; files may hold
// children. Views and the recorder take the lock around multi-step changes; the operations
// below take it themselves.
class CRequestsContainer : public CCaptureSink {
public:
    struct Node {
        std::unique_ptr<CRequest> request;
        std::vector<std::unique_ptr<Node>> children;
    };

    CRequestsContainer()                                     = default;
    CRequestsContainer(const CRequestsContainer&)            = delete;
    CRequestsContainer& operator=(const CRequestsContainer&) = delete;

    void lock() const { mutex_.lock(); }
    void unlock() const { mutex_.unlock(); }

    // The request with that id, in pre-order; null when none has it.
    CRequest* findById(int id);
    CRequest& append(std::unique_ptr<CRequest> request);
    // Removes the request and its children; false when no request has the id. Either way the
    // last captured request is forgotten.
    bool remove(int id);
    void clear();
    int count() const;
    // Replaces the requests by copies of `other`'s, flattened to top level in pre-order.
    void copyFrom(const CRequestsContainer& other);
    // Exchanges the requests of the two containers, trees as they are.
    void swap(CRequestsContainer& other);
    // The definitions of all requests in pre-order; false at the first that has no method.
    bool requestsText(std::string& out) const;
    // Appends a recorded navigation as a request; its think time goes to the one before it.
    void AddCapturedRequest(const CCapturedRequest& captured) override;

    // Visits every request in pre-order (without taking the lock).
    void forEach(const std::function<void(const CRequest&)>& visit) const;
    void forEach(const std::function<void(CRequest&)>& visit);

    // The top-level nodes, for the file format.
    std::vector<std::unique_ptr<Node>>& nodes() { return nodes_; }
    const std::vector<std::unique_ptr<Node>>& nodes() const { return nodes_; }

    CRequest* lastCaptured = nullptr; // not owned

private:
    mutable std::recursive_mutex mutex_;
    std::vector<std::unique_ptr<Node>> nodes_;
};

} // namespace torvex
