# shellcheck shell=bash
# Sourced by test.sh and fuzz-soak.sh: which dictionaries of fuzz/dict/ each fuzz target uses.
# libFuzzer takes one -dict=, so a target's dictionaries are joined into one file in a build folder.

# The dictionary names (fuzz/dict/<name>.dict) of a target, or nothing.
fuzz_dict_names() {
    case "$1" in
    reply_reader_fuzz | reply_fields_fuzz | passive_reply_fuzz) echo ftp_reply ;;
    engine_script_fuzz) echo ftp_reply listing ;;
    listing_fuzz) echo listing ;;
    proxy_reply_fuzz) echo proxy ;;
    ini_document_fuzz) echo ini ;;
    ftp_url_fuzz) echo ftp_url ;;
    site_file_fuzz) echo site_file ;;
    esac
}

# Writes the joined dictionary of target $1 into folder $2 and prints the -dict= argument, or nothing
# when the target has none.
fuzz_dict_argument() {
    local names name file
    names=$(fuzz_dict_names "$1")
    [[ -n "$names" ]] || return 0
    mkdir -p "$2"
    file="$2/$1.dict"
    : >"$file"
    for name in $names; do
        cat "fuzz/dict/$name.dict" >>"$file"
    done
    echo "-dict=$file"
}
