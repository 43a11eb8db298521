# Services the tests talk to, started for a test run and stopped after it.
# Sourced by scripts/test.sh.

start_services() {
    :
}

stop_services() {
    :
}
