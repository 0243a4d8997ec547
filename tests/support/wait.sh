# Waiting in the shell tests for something another process brings about, with a limit.

# Waits up to $1 seconds for the command after it to succeed.
wait_for() {
  local limit=$1; shift
  local deadline=$((SECONDS + limit))
  until "$@"; do
    (( SECONDS < deadline )) || return 1
    sleep 0.1
  done
}
