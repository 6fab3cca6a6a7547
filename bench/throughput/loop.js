// The scripted users of the throughput benchmark: the request of the sequence-driven run, sent
// back to back until the run stops.
while (!IsAborting()) Request('page');
