# The show times of show_times.txt, one a line, for the measuring scripts beside it. Sourced.
show_times() {
  awk '/^[0-9]/ { print $1 }' "$(dirname "${BASH_SOURCE[0]}")/show_times.txt"
}
