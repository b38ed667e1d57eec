# shellcheck shell=bash
# The suite's bookkeeping: the scenario registry and the E2E_ONLY selection, the checks a
# scenario makes, its notes and screenshots, and the report with its closing count.
# Sourced by run.sh.

log() { printf '%s\n' "$*" >&2; }

# ---- the registry

declare -ga SCENARIO_NUMBERS=()   # in the order they run
declare -gA SCENARIO_NAME=()      # number -> name (the screenshots' and E2E_ONLY's word)
declare -gA SCENARIO_TITLE=()     # number -> title
declare -gA SCENARIO_FUNCTION=()  # number -> the function that acts it out
declare -ga SELECTED=()           # the numbers this run runs

# scenario NUMBER NAME TITLE FUNCTION: registers a scenario. The numbers stay as they are,
# for the docs refer to them; they need not be registered in order.
scenario() {
    local number=$1 name=$2 title=$3 function=$4 known
    if [[ ! $number =~ ^[1-9][0-9]*$ || -n ${SCENARIO_NAME[$number]-} ]]; then
        log "e2e: scenario number \"$number\" ($name) is not a new positive number"
        exit 2
    fi
    for known in "${SCENARIO_NAME[@]}"; do
        if [[ $known == "$name" ]]; then
            log "e2e: two scenarios are named \"$name\""
            exit 2
        fi
    done
    SCENARIO_NAME[$number]=$name
    SCENARIO_TITLE[$number]=$title
    SCENARIO_FUNCTION[$number]=$function
    mapfile -t SCENARIO_NUMBERS < <(printf '%s\n' "${!SCENARIO_NAME[@]}" | sort -n)
}

# Fills SELECTED from E2E_ONLY: scenario numbers or names, e.g. "3 7" or "options help"; all
# scenarios when it is empty. A word that names no scenario ends the run, and so does a
# scenario without its function, which would otherwise pass having checked nothing.
select_scenarios() {
    local -A by_word=()
    local number word
    for number in "${SCENARIO_NUMBERS[@]}"; do
        if ! declare -F "${SCENARIO_FUNCTION[$number]}" >/dev/null; then
            log "e2e: scenario $number has no function ${SCENARIO_FUNCTION[$number]}"
            exit 2
        fi
        by_word[$number]=$number
        by_word[${SCENARIO_NAME[$number]}]=$number
    done
    local -a words=()
    read -r -a words <<<"${E2E_ONLY:-}"
    for word in "${words[@]}"; do
        [[ -n ${by_word[$word]-} ]] && continue
        log "e2e: E2E_ONLY names no scenario: \"$word\"; the scenarios are:"
        for number in "${SCENARIO_NUMBERS[@]}"; do
            log "  $number ${SCENARIO_NAME[$number]}"
        done
        echo "0 passed, ${#words[@]} failed"
        exit 2
    done
    SELECTED=()
    for number in "${SCENARIO_NUMBERS[@]}"; do
        if ((${#words[@]} == 0)) || [[ " ${words[*]} " == *" $number "* ||
            " ${words[*]} " == *" ${SCENARIO_NAME[$number]} "* ]]; then
            SELECTED+=("$number")
        fi
    done
}

# Before any scenario ran, every selected one counts as failed.
die_setup() {
    log "e2e setup failed: $*"
    echo "0 passed, ${#SELECTED[@]} failed"
    exit 1
}

# ---- what a scenario sees

FAILS=()
NOTES=()
SHOT_PATHS=()
SCENARIO_TAG=""
PASSED=0
FAILED=0

fail() { FAILS+=("$*"); }

# What a scenario saw that is worth reporting whether it passes or not.
note() { NOTES+=("$*"); }

# Values are shown with their control characters escaped, as the probe reports texts.
escaped() {
    local s=${1//\\/\\\\}
    s=${s//$'\r'/\\r}
    s=${s//$'\n'/\\n}
    printf '%s' "${s//$'\t'/\\t}"
}

expect_eq() {
    local what=$1 expected=$2 seen=$3
    [[ $expected == "$seen" ]] && return 0
    fail "$what: expected [$(escaped "$expected")], saw [$(escaped "$seen")]"
    return 1
}

# Runs a check again until it passes or about 3 s are over: Vintrell answers a click when its
# queue gets to it. Only the last try's failures count.
eventually() {
    local saved=("${FAILS[@]}") i
    for ((i = 0; i < 25; i++)); do
        FAILS=()
        "$@"
        if ((${#FAILS[@]} == 0)); then
            FAILS=("${saved[@]}")
            return 0
        fi
        sleep 0.1
    done
    FAILS=("${saved[@]}" "${FAILS[@]}")
    return 1
}

# A screenshot of the whole screen, named after the scenario and the optional step.
shot() {
    local path=$SHOTS/$SCENARIO_TAG${1:+-$1}.png
    import -window root "$path" 2>>"$LOGS/import.log"
    SHOT_PATHS+=("$path")
}

# Seconds since an earlier $EPOCHREALTIME, to a tenth.
seconds_since() { awk -v a="$1" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.1f", b - a }'; }

# ---- running and reporting

run_scenario() {
    local number=$1
    local title=${SCENARIO_TITLE[$number]}
    SCENARIO_TAG=$(printf '%02d-%s' "$number" "${SCENARIO_NAME[$number]}")
    FAILS=()
    NOTES=()
    SHOT_PATHS=()
    local start=$EPOCHREALTIME
    reset_state
    "${SCENARIO_FUNCTION[$number]}"
    ((${#SHOT_PATHS[@]} > 0)) || shot
    local took
    took=$(seconds_since "$start")
    local message
    if ((${#FAILS[@]} == 0)); then
        PASSED=$((PASSED + 1))
        printf 'PASS  %2d. %s (%s s)\n' "$number" "$title" "$took"
        for message in "${NOTES[@]}"; do printf '        note: %s\n' "$message"; done
    else
        FAILED=$((FAILED + 1))
        printf 'FAIL  %2d. %s (%s s)\n' "$number" "$title" "$took"
        for message in "${FAILS[@]}"; do printf '        %s\n' "$message"; done
        for message in "${NOTES[@]}"; do printf '        note: %s\n' "$message"; done
        printf '        screenshot: %s\n' "${SHOT_PATHS[@]}"
    fi
}

# Runs the selected scenarios and prints the closing count; true when none failed.
run_selected() {
    local number suite_start=$SECONDS
    for number in "${SELECTED[@]}"; do run_scenario "$number"; done
    reset_state >/dev/null 2>&1
    log "e2e: scenarios took $((SECONDS - suite_start)) s; screenshots in $SHOTS"
    echo "$PASSED passed, $FAILED failed"
    ((FAILED == 0))
}
