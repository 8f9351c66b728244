-- The shared history of saves: every bench's rows in one table that benches
-- may append to and read, and nothing more. Run once per database by its
-- administrator (see shared-history-guide.md):
--
--     psql -v ON_ERROR_STOP=1 -d korvel -f korvel-shared-history.sql
--
-- It creates two roles without a login, korvel_owner (owns the table) and
-- korvel_bench (INSERT and SELECT only); give each bench or person a login
-- that is a member of korvel_bench. Running it again on the same database
-- fails and changes nothing; in another database of the same server it reuses
-- the roles.

\set ON_ERROR_STOP on

BEGIN;

DO $$
BEGIN
    CREATE ROLE korvel_owner NOLOGIN;
EXCEPTION WHEN duplicate_object OR unique_violation THEN NULL;
END $$;
DO $$
BEGIN
    CREATE ROLE korvel_bench NOLOGIN;
EXCEPTION WHEN duplicate_object OR unique_violation THEN NULL;
END $$;

CREATE SCHEMA korvel AUTHORIZATION korvel_owner;
SET LOCAL search_path = korvel, pg_catalog;

-- One row per local row of a bench: the bench's row as its history holds it,
-- and what the server adds (who sent it, when it came, its place in the
-- server's chain).
CREATE TABLE korvel.saves (
    seq bigint PRIMARY KEY,          -- the order of receipt, from 1, no gaps
    bench_id text NOT NULL,          -- the bench's random id, kept in its local history
    bench_name text NOT NULL,        -- its host name, or the name its configuration gives
    local_id bigint NOT NULL,        -- the row's id in the bench's history
    local_hash text NOT NULL,        -- the row's hash in the bench's chain
    kind text NOT NULL CHECK (kind IN ('attempt', 'outcome')),
    attempt bigint,                  -- an outcome's attempt row (local id)
    time text NOT NULL,              -- the bench's UTC time of the row
    operator text, host text, program text, port text, serial_number text,
    block_before bytea, frame bytea, clock_sync text, batch text,
    result text, acknowledged integer, read_back bytea, detail text,
    sent_by name NOT NULL,           -- session_user, set by the server
    received_at timestamptz NOT NULL, -- set by the server
    previous_hash text NOT NULL,
    hash text NOT NULL,
    UNIQUE (bench_id, local_id)
);
ALTER TABLE korvel.saves OWNER TO korvel_owner;
CREATE INDEX saves_serial_number ON korvel.saves (serial_number);
CREATE INDEX saves_attempt ON korvel.saves (bench_id, attempt);

-- A column's share of a row's hash: its name, its kind and its length, so that
-- no two different rows read the same.
CREATE FUNCTION korvel.field(name text, value text) RETURNS text
LANGUAGE sql IMMUTABLE AS $$
    SELECT name || '=' || CASE WHEN value IS NULL THEN 'null'
        ELSE 'text:' || octet_length(convert_to(value, 'UTF8')) || ':' || value END || E'\n'
$$;
CREATE FUNCTION korvel.field(name text, value bigint) RETURNS text
LANGUAGE sql IMMUTABLE AS $$
    SELECT name || '=' || CASE WHEN value IS NULL THEN 'null' ELSE 'int:' || value END || E'\n'
$$;
CREATE FUNCTION korvel.field(name text, value bytea) RETURNS text
LANGUAGE sql IMMUTABLE AS $$
    SELECT name || '=' || CASE WHEN value IS NULL THEN 'null'
        ELSE 'blob:' || length(value) || ':' || encode(value, 'hex') END || E'\n'
$$;

-- The hash of a row: SHA-256 (PostgreSQL's own, no extension) over the
-- previous row's hash and every column but the hash itself.
CREATE FUNCTION korvel.row_hash(r korvel.saves) RETURNS text
LANGUAGE sql STABLE AS $$
    SELECT encode(sha256(convert_to(
        r.previous_hash || E'\nkorvel-shared-row/1\n'
        || korvel.field('seq', r.seq)
        || korvel.field('bench_id', r.bench_id)
        || korvel.field('bench_name', r.bench_name)
        || korvel.field('local_id', r.local_id)
        || korvel.field('local_hash', r.local_hash)
        || korvel.field('kind', r.kind)
        || korvel.field('attempt', r.attempt)
        || korvel.field('time', r.time)
        || korvel.field('operator', r.operator)
        || korvel.field('host', r.host)
        || korvel.field('program', r.program)
        || korvel.field('port', r.port)
        || korvel.field('serial_number', r.serial_number)
        || korvel.field('block_before', r.block_before)
        || korvel.field('frame', r.frame)
        || korvel.field('clock_sync', r.clock_sync)
        || korvel.field('batch', r.batch)
        || korvel.field('result', r.result)
        || korvel.field('acknowledged', r.acknowledged::bigint)
        || korvel.field('read_back', r.read_back)
        || korvel.field('detail', r.detail)
        || korvel.field('sent_by', r.sent_by::text)
        || korvel.field('received_at',
               to_char(r.received_at AT TIME ZONE 'UTC', 'YYYY-MM-DD"T"HH24:MI:SS.US"Z"')),
        'UTF8')), 'hex')
$$;

-- Every insert, whoever sends it, is chained here: one append at a time
-- across all benches (the lock is held until the inserting transaction ends),
-- onto the last row, with the sender and the time set by the server.
CREATE FUNCTION korvel.chain_row() RETURNS trigger
LANGUAGE plpgsql AS $$
DECLARE
    last record;
BEGIN
    -- Each statement below must see the rows committed while it waited for
    -- the lock; a snapshot kept for the whole transaction would fork the chain.
    IF current_setting('transaction_isolation') <> 'read committed' THEN
        RAISE EXCEPTION 'the shared history takes rows only at READ COMMITTED isolation';
    END IF;
    PERFORM pg_advisory_xact_lock(7275638245810361922);
    SELECT s.seq, s.hash INTO last FROM korvel.saves s ORDER BY s.seq DESC LIMIT 1;
    NEW.seq := coalesce(last.seq, 0) + 1;
    NEW.previous_hash := coalesce(last.hash, repeat('0', 64));
    NEW.sent_by := session_user;
    NEW.received_at := clock_timestamp();
    NEW.hash := korvel.row_hash(NEW);
    RETURN NEW;
END $$;

CREATE FUNCTION korvel.refuse_change() RETURNS trigger
LANGUAGE plpgsql AS $$
BEGIN
    RAISE EXCEPTION 'the shared history is append-only: % refused', TG_OP;
END $$;

CREATE TRIGGER saves_chain BEFORE INSERT ON korvel.saves
    FOR EACH ROW EXECUTE FUNCTION korvel.chain_row();
CREATE TRIGGER saves_no_update BEFORE UPDATE ON korvel.saves
    FOR EACH ROW EXECUTE FUNCTION korvel.refuse_change();
CREATE TRIGGER saves_no_delete BEFORE DELETE ON korvel.saves
    FOR EACH ROW EXECUTE FUNCTION korvel.refuse_change();
CREATE TRIGGER saves_no_truncate BEFORE TRUNCATE ON korvel.saves
    FOR EACH STATEMENT EXECUTE FUNCTION korvel.refuse_change();

ALTER FUNCTION korvel.field(text, text) OWNER TO korvel_owner;
ALTER FUNCTION korvel.field(text, bigint) OWNER TO korvel_owner;
ALTER FUNCTION korvel.field(text, bytea) OWNER TO korvel_owner;
ALTER FUNCTION korvel.row_hash(korvel.saves) OWNER TO korvel_owner;
ALTER FUNCTION korvel.chain_row() OWNER TO korvel_owner;
ALTER FUNCTION korvel.refuse_change() OWNER TO korvel_owner;

-- The benches: read everything, insert the columns a bench sends and no
-- others; no UPDATE, DELETE, TRUNCATE, nor anything in the schema.
REVOKE ALL ON SCHEMA korvel FROM PUBLIC;
REVOKE ALL ON korvel.saves FROM PUBLIC;
GRANT USAGE ON SCHEMA korvel TO korvel_bench;
GRANT SELECT ON korvel.saves TO korvel_bench;
GRANT INSERT (bench_id, bench_name, local_id, local_hash, kind, attempt, time, operator, host,
              program, port, serial_number, block_before, frame, clock_sync, batch, result,
              acknowledged, read_back, detail)
    ON korvel.saves TO korvel_bench;

COMMIT;
