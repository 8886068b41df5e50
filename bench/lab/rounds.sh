# Sourced by the lab benchmarks that follow one program through rounds of searches (watch.sh,
# tray.sh). rounds_measure PID STARTED EVERY WARMUP SECONDS: PID started at STARTED
# (date +%s.%N) and searches every EVERY s. Waits until SECONDS s after its start and sets
#   rounds_rss_start, rounds_rss_end  resident memory (KiB) WARMUP s after the start and at the end
#   rounds_quiet_percent              CPU between rounds, in % of a core: from 1.5 s after each
#                                     round's search until 0.5 s before the next
#   rounds_quiet_seconds              the time that covers
#   rounds_total_percent              CPU over the whole run
#   rounds_elapsed                    seconds since the start
rounds_measure() {
    local pid=$1 started=$2 every=$3 warmup=$4 seconds=$5
    local ticks round before after quiet_ticks=0
    ticks=$(getconf CLK_TCK)
    cpu_ticks() { awk '{print $14 + $15}' "/proc/$pid/stat"; }
    rss_kib() { awk '/^VmRSS:/ {print $2}' "/proc/$pid/status"; }
    sleep_until() {
        local left
        left=$(echo "$started + $1 - $(date +%s.%N)" | bc)
        if [ "$(echo "$left > 0" | bc)" -eq 1 ]; then sleep "$left"; fi
    }
    sleep_until "$warmup"
    rounds_rss_start=$(rss_kib)
    rounds_quiet_seconds=0
    round=$(((warmup + every - 1) / every))
    while [ $(((round + 1) * every)) -le "$seconds" ]; do
        # Between round k's search (at k*every) and the next.
        sleep_until "$(echo "$round * $every + 1.5" | bc)"
        before=$(cpu_ticks)
        sleep_until "$(echo "($round + 1) * $every - 0.5" | bc)"
        after=$(cpu_ticks)
        quiet_ticks=$((quiet_ticks + after - before))
        rounds_quiet_seconds=$((rounds_quiet_seconds + every - 2))
        round=$((round + 1))
    done
    sleep_until "$seconds"
    rounds_rss_end=$(rss_kib)
    rounds_elapsed=$(echo "$(date +%s.%N) - $started" | bc)
    rounds_quiet_percent=$(echo "100 * $quiet_ticks / $ticks / $rounds_quiet_seconds" | bc -l)
    rounds_total_percent=$(echo "100 * $(cpu_ticks) / $ticks / $rounds_elapsed" | bc -l)
}
