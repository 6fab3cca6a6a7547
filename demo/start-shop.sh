# Sourced by the demo's ctests: start_shop SHOP DIR starts the demo shop on a port the kernel
# chooses, with its output in DIR/shop.out, and sets shop_pid and port; it calls fail (defined
# by the test) when the shop does not say where it listens within 5 seconds.
start_shop() {
    "$1" --port 0 >"$2/shop.out" 2>&1 &
    shop_pid=$!
    port=""
    for _ in $(seq 50); do
        port=$(sed -n 's|^Demo shop listening on http://127.0.0.1:\([0-9]*\)/$|\1|p' "$2/shop.out")
        [ -n "$port" ] && return 0
        sleep 0.1
    done
    fail "the demo shop did not start: $(cat "$2/shop.out")"
}
