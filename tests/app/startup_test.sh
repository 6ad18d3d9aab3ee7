# Both start-up forms print their loading lines, and the first picture shows the body, the
# ground and the HUD text (checked region by region: the window capture may lose a pixel row
# and column at the window's border).
source "$(dirname "$0")/program_lib.sh"

check_lines() {
    local tetfile=$1
    head -n 3 "$WORK/out.txt" >"$WORK/first.txt"
    printf 'Creating fbo.\ninitializing fbo 1024 1024\nCreated fbo.\n' >"$WORK/want.txt"
    cmp -s "$WORK/first.txt" "$WORK/want.txt" || fail "first lines: $(cat "$WORK/first.txt")"
    grep -qx "loading obj: $tetfile" "$WORK/out.txt" || fail "no loading line for $tetfile"
    grep -Eqx 'There are [1-9][0-9]* tets' "$WORK/out.txt" || fail "no tetrahedra loaded"
}

# The HUD, ground and empty sky of a start-up picture.
check_frame() {
    local png=$1
    # Sky above the body: black.
    [ "$(fraction_lit "$png" 600 60 20 20)" = "0" ] || fail "sky is not empty"
    # Ground: the lower band, a grey that is neither black nor white, across the window.
    for x in 20 300 520; do
        read -r r g b <<<"$(mean_rgb "$png" 100 30 "$x" 415)"
        [ "$r" -gt 15 ] && [ "$r" -lt 200 ] && [ "$r" = "$g" ] && [ "$g" = "$b" ] ||
            fail "ground at x=$x has colour $r $g $b"
    done
    # HUD text at the lower left: some white pixels over the ground, far fewer than all.
    local hud
    hud=$(fraction_lit "$png" 80 14 2 463 60)
    is_greater "$hud" 0.05 && is_greater 0.6 "$hud" || fail "HUD text coverage $hud"
    # Nothing white beside it on the same band.
    [ "$(fraction_lit "$png" 200 14 300 463 60)" = "0" ] || fail "stray light on the ground"
}

# One file: the beam scene, textured with the checker image, seen end on in the middle.
start_tetlab tests/app/data/beam.scene
check_lines tests/app/data/beam_tets.obj
grep -q 'NOTE: image pow2 mode has been set' "$WORK/err.txt" || fail "texture was not uploaded"
shot "$WORK/beam.png"
stop_tetlab
check_frame "$WORK/beam.png"
[ "$(fraction_lit "$WORK/beam.png" 40 40 300 180)" = "1" ] || fail "no body in the middle"
# The texture: the body's pixels are not all one grey (red clearly above blue somewhere).
read -r r g b <<<"$(mean_rgb "$WORK/beam.png" 40 40 300 180)"
[ "$r" -gt $((b + 30)) ] || fail "body colour $r $g $b shows no checker texture"

# Two files: the slab's tetrahedra and its surface; the slab spans the middle of the window.
start_tetlab tests/app/data/slab_tets.obj tests/app/data/slab_surface.obj
check_lines tests/app/data/slab_tets.obj
grep -q '^bestDist: ' "$WORK/out.txt" || fail "surface was not bound"
shot "$WORK/slab.png"
stop_tetlab
check_frame "$WORK/slab.png"
[ "$(fraction_lit "$WORK/slab.png" 200 20 220 212)" = "1" ] || fail "no slab in the middle"
echo "startup: ok"
