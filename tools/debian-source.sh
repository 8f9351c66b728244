# Sourced by the cross-build scripts: fetches and unpacks one of Debian's
# source packages with apt-get source, through a private source list and
# private index lists under the Korvel cache, so that the system's apt
# configuration stays as it is. apt checks the Release file's signature
# against Debian's archive keyring and the downloaded files against the
# .dsc's checksums, as it does for any apt-get source.

# debian_source <package> <version> <directory to unpack in>
debian_source() {
    local package=$1 version=$2 into=$3
    local apt_dir=${XDG_CACHE_HOME:-$HOME/.cache}/korvel/apt
    mkdir -p "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial" "$into"
    cat >"$apt_dir/sources.list" <<'EOF'
deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.debian.org/debian bookworm main
deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.debian.org/debian bookworm-updates main
deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.debian.org/debian-security bookworm-security main
EOF
    local apt_options=(
        -o "Dir::Etc::SourceList=$apt_dir/sources.list"
        -o "Dir::Etc::SourceParts=-"
        -o "Dir::State::Lists=$apt_dir/lists"
        -o "Dir::Cache=$apt_dir/cache"
        # The private directories belong to whoever runs this, which apt's
        # download sandbox user may not be able to write.
        -o "APT::Sandbox::User=$(id -un)"
    )
    if [ -z "$(find "$apt_dir/lists" -maxdepth 1 -name '*_Sources*' -mmin -1440 2>/dev/null | head -1)" ]; then
        timeout 600 apt-get "${apt_options[@]}" update -qq
    fi
    (cd "$into" && timeout 1200 apt-get "${apt_options[@]}" source -qq "$package=$version" >/dev/null)
}
