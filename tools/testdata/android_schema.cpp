#include "android_schema.h"

namespace testdata {

// Returns "data<from> TEXT,...,data<to> TEXT," style column lists.
static std::string textColumns(const std::string& prefix, int from, int to) {
    std::string out;
    for (int i = from; i <= to; ++i)
        out += prefix + std::to_string(i) + " TEXT,";
    return out;
}

// ALTER TABLE statements that add `columns` to `table`, as an upgrade does.
static std::string addColumns(const std::string& table, const std::vector<std::string>& columns) {
    std::string sql;
    for (const std::string& c : columns)
        sql += "ALTER TABLE " + table + " ADD " + c + ";\n";
    return sql;
}

// Table "data": hash_id came in with Android 6, the phone-account columns later.
static std::string dataTableSql(Generation g) {
    std::string sql = "CREATE TABLE data (_id INTEGER PRIMARY KEY AUTOINCREMENT,"
                      "package_id INTEGER REFERENCES package(_id),"
                      "mimetype_id INTEGER REFERENCES mimetype(_id) NOT NULL,"
                      "raw_contact_id INTEGER REFERENCES raw_contacts(_id) NOT NULL,";
    if (g == Generation::Modern)
        sql += "hash_id TEXT,";
    sql += "is_read_only INTEGER NOT NULL DEFAULT 0,is_primary INTEGER NOT NULL DEFAULT 0,"
           "is_super_primary INTEGER NOT NULL DEFAULT 0,data_version INTEGER NOT NULL DEFAULT 0,";
    sql += textColumns("data", 1, 15);
    sql += textColumns("data_sync", 1, 4);
    if (g == Generation::Modern)
        sql += "carrier_presence INTEGER NOT NULL DEFAULT 0,"
               "preferred_phone_account_component_name TEXT,preferred_phone_account_id TEXT,";
    sql.pop_back();
    return sql + ");\n";
}

// Table "raw_contacts": modern files have backup_id, metadata_dirty and the x_ counters.
static std::string rawContactsTableSql(Generation g) {
    const bool modern = g == Generation::Modern;
    std::string sql = "CREATE TABLE raw_contacts (_id INTEGER PRIMARY KEY AUTOINCREMENT,"
                      "account_id INTEGER REFERENCES accounts(_id) DEFAULT 1,sourceid TEXT,";
    if (modern)
        sql += "backup_id TEXT,";
    sql += "raw_contact_is_read_only INTEGER NOT NULL DEFAULT 0,"
           "version INTEGER NOT NULL DEFAULT 1,dirty INTEGER NOT NULL DEFAULT 0,"
           "deleted INTEGER NOT NULL DEFAULT 0,";
    if (modern)
        sql += "metadata_dirty INTEGER NOT NULL DEFAULT 0,";
    sql += "contact_id INTEGER REFERENCES contacts(_id),"
           "aggregation_mode INTEGER NOT NULL DEFAULT 0,"
           "aggregation_needed INTEGER NOT NULL DEFAULT 1,custom_ringtone TEXT,"
           "send_to_voicemail INTEGER NOT NULL DEFAULT 0,";
    if (modern)
        sql += "x_times_contacted INTEGER NOT NULL DEFAULT 0,x_last_time_contacted INTEGER,";
    sql += "times_contacted INTEGER NOT NULL DEFAULT 0,last_time_contacted INTEGER,"
           "starred INTEGER NOT NULL DEFAULT 0,";
    sql += modern ? "pinned INTEGER NOT NULL DEFAULT 0,"
                  : "pinned INTEGER NOT NULL DEFAULT 2147483647,";
    sql +=
        "display_name TEXT,display_name_alt TEXT,"
        "display_name_source INTEGER NOT NULL DEFAULT 0,phonetic_name TEXT,"
        "phonetic_name_style TEXT,sort_key TEXT COLLATE PHONEBOOK,phonebook_label TEXT,"
        "phonebook_bucket INTEGER,sort_key_alt TEXT COLLATE PHONEBOOK,"
        "phonebook_label_alt TEXT,phonebook_bucket_alt INTEGER,"
        "name_verified INTEGER NOT NULL DEFAULT 0,sync1 TEXT,sync2 TEXT,sync3 TEXT,sync4 TEXT);\n";
    return sql;
}

// Table "contacts" (the aggregates the UI lists; no name column).
static std::string contactsTableSql(Generation g) {
    const bool modern = g == Generation::Modern;
    std::string sql = "CREATE TABLE contacts (_id INTEGER PRIMARY KEY AUTOINCREMENT,"
                      "name_raw_contact_id INTEGER REFERENCES raw_contacts(_id),"
                      "photo_id INTEGER REFERENCES data(_id),"
                      "photo_file_id INTEGER REFERENCES photo_files(_id),custom_ringtone TEXT,"
                      "send_to_voicemail INTEGER NOT NULL DEFAULT 0,";
    if (modern)
        sql += "x_times_contacted INTEGER NOT NULL DEFAULT 0,x_last_time_contacted INTEGER,";
    sql += "times_contacted INTEGER NOT NULL DEFAULT 0,last_time_contacted INTEGER,"
           "starred INTEGER NOT NULL DEFAULT 0,";
    sql += modern ? "pinned INTEGER NOT NULL DEFAULT 0,"
                  : "pinned INTEGER NOT NULL DEFAULT 2147483647,";
    sql +=
        "has_phone_number INTEGER NOT NULL DEFAULT 0,lookup TEXT,"
        "status_update_id INTEGER REFERENCES data(_id),contact_last_updated_timestamp INTEGER);\n";
    return sql;
}

std::string contactsUpgradeSql() {
    std::string sql = addColumns(
        "data", {"hash_id TEXT", "carrier_presence INTEGER NOT NULL DEFAULT 0",
                 "preferred_phone_account_component_name TEXT", "preferred_phone_account_id TEXT"});
    sql += "CREATE INDEX data_hash_id_index ON data (hash_id);\n";
    sql +=
        addColumns("raw_contacts", {"backup_id TEXT", "metadata_dirty INTEGER NOT NULL DEFAULT 0",
                                    "x_times_contacted INTEGER NOT NULL DEFAULT 0",
                                    "x_last_time_contacted INTEGER"});
    sql += addColumns("contacts", {"x_times_contacted INTEGER NOT NULL DEFAULT 0",
                                   "x_last_time_contacted INTEGER"});
    return sql;
}

std::string smsUpgradeSql() {
    std::string sql = addColumns("sms", {"sub_id INTEGER DEFAULT -1", "creator TEXT"});
    sql += addColumns("threads", {"archived INTEGER DEFAULT 0"});
    sql += "CREATE INDEX threadIdDateIndex ON sms (thread_id, date);\n";
    return sql;
}

std::string contactsSchemaSql(Generation g) {
    std::string sql = "CREATE TABLE android_metadata (locale TEXT);\n"
                      "INSERT INTO android_metadata VALUES('zh_CN');\n"
                      "CREATE TABLE accounts (_id INTEGER PRIMARY KEY AUTOINCREMENT,"
                      "account_name TEXT,account_type TEXT,data_set TEXT);\n"
                      "CREATE TABLE mimetypes (_id INTEGER PRIMARY KEY AUTOINCREMENT,"
                      "mimetype TEXT NOT NULL);\n"
                      "CREATE UNIQUE INDEX mime_type ON mimetypes (mimetype);\n";
    sql += contactsTableSql(g);
    sql += "CREATE INDEX contacts_has_phone_index ON contacts (has_phone_number);\n"
           "CREATE INDEX contacts_name_raw_contact_id_index ON contacts (name_raw_contact_id);\n";
    sql += "CREATE TABLE deleted_contacts (contact_id INTEGER PRIMARY KEY,"
           "contact_deleted_timestamp INTEGER NOT NULL default 0);\n"
           "CREATE INDEX deleted_contacts_timestamp_index ON deleted_contacts "
           "(contact_deleted_timestamp);\n";
    sql += rawContactsTableSql(g);
    sql += "CREATE INDEX raw_contacts_contact_id_index ON raw_contacts (contact_id);\n"
           "CREATE INDEX raw_contacts_source_id_account_id_index ON raw_contacts "
           "(sourceid, account_id);\n"
           "CREATE INDEX raw_contact_sort_key1_index ON raw_contacts (sort_key);\n"
           "CREATE INDEX raw_contact_sort_key2_index ON raw_contacts (sort_key_alt);\n";
    sql += dataTableSql(g);
    sql += "CREATE INDEX data_raw_contact_id ON data (raw_contact_id);\n"
           "CREATE INDEX data_mimetype_data1_index ON data (mimetype_id,data1);\n";
    if (g == Generation::Modern)
        sql += "CREATE INDEX data_hash_id_index ON data (hash_id);\n";
    sql +=
        "CREATE TABLE phone_lookup (data_id INTEGER REFERENCES data(_id) NOT NULL,"
        "raw_contact_id INTEGER REFERENCES raw_contacts(_id) NOT NULL,"
        "normalized_number TEXT NOT NULL,min_match TEXT NOT NULL);\n"
        "CREATE INDEX phone_lookup_index ON phone_lookup "
        "(normalized_number,raw_contact_id,data_id);\n"
        "CREATE INDEX phone_lookup_min_match_index ON phone_lookup "
        "(min_match,raw_contact_id,data_id);\n"
        "CREATE INDEX phone_lookup_data_id_min_match_index ON phone_lookup (data_id, min_match);\n"
        "CREATE TABLE name_lookup (data_id INTEGER REFERENCES data(_id) NOT NULL,"
        "raw_contact_id INTEGER REFERENCES raw_contacts(_id) NOT NULL,"
        "normalized_name TEXT NOT NULL,name_type INTEGER NOT NULL,"
        "PRIMARY KEY (data_id, normalized_name, name_type));\n"
        "CREATE INDEX name_lookup_raw_contact_id_index ON name_lookup (raw_contact_id);\n"
        "CREATE TABLE agg_exceptions (_id INTEGER PRIMARY KEY AUTOINCREMENT,"
        "type INTEGER NOT NULL,raw_contact_id1 INTEGER REFERENCES raw_contacts(_id),"
        "raw_contact_id2 INTEGER REFERENCES raw_contacts(_id));\n"
        "CREATE TABLE status_updates (status_update_data_id INTEGER PRIMARY KEY "
        "REFERENCES data(_id),status TEXT,status_ts INTEGER,status_res_package TEXT,"
        "status_label INTEGER,status_icon INTEGER);\n"
        "CREATE TABLE visible_contacts (_id INTEGER PRIMARY KEY);\n"
        "CREATE TABLE default_directory (_id INTEGER PRIMARY KEY);\n";
    if (g == Generation::Upgraded)
        sql += contactsUpgradeSql();
    // What the provider's triggers do when a raw contact or a data row goes.
    sql += "CREATE TRIGGER raw_contacts_deleted BEFORE DELETE ON raw_contacts BEGIN "
           "DELETE FROM data WHERE raw_contact_id=OLD._id;"
           "DELETE FROM agg_exceptions WHERE raw_contact_id1=OLD._id OR raw_contact_id2=OLD._id;"
           "DELETE FROM visible_contacts WHERE _id=OLD.contact_id AND (SELECT COUNT(*) FROM "
           "raw_contacts WHERE contact_id=OLD.contact_id)=1;"
           "DELETE FROM default_directory WHERE _id=OLD.contact_id AND (SELECT COUNT(*) FROM "
           "raw_contacts WHERE contact_id=OLD.contact_id)=1;"
           "DELETE FROM contacts WHERE _id=OLD.contact_id AND (SELECT COUNT(*) FROM "
           "raw_contacts WHERE contact_id=OLD.contact_id)=1; END;\n"
           "CREATE TRIGGER raw_contacts_marked_deleted AFTER UPDATE ON raw_contacts BEGIN "
           "UPDATE raw_contacts SET version=OLD.version+1 WHERE _id=OLD._id AND "
           "NEW.deleted!=OLD.deleted; END;\n"
           "CREATE TRIGGER data_updated AFTER UPDATE ON data BEGIN "
           "UPDATE data SET data_version=OLD.data_version+1 WHERE _id=OLD._id;"
           "UPDATE raw_contacts SET version=version+1 WHERE _id=OLD.raw_contact_id; END;\n"
           "CREATE TRIGGER data_deleted BEFORE DELETE ON data BEGIN "
           "UPDATE raw_contacts SET version=version+1 WHERE _id=OLD.raw_contact_id;"
           "DELETE FROM phone_lookup WHERE data_id=OLD._id;"
           "DELETE FROM status_updates WHERE status_update_data_id=OLD._id;"
           "DELETE FROM name_lookup WHERE data_id=OLD._id; END;\n";
    return sql;
}

std::string smsSchemaSql(Generation g) {
    const bool modern = g == Generation::Modern;
    std::string sql = "CREATE TABLE android_metadata (locale TEXT);\n"
                      "INSERT INTO android_metadata VALUES('zh_CN');\n"
                      "CREATE TABLE sms (_id INTEGER PRIMARY KEY,thread_id INTEGER,address TEXT,"
                      "person INTEGER,date INTEGER,date_sent INTEGER DEFAULT 0,protocol INTEGER,"
                      "read INTEGER DEFAULT 0,status INTEGER DEFAULT -1,type INTEGER,"
                      "reply_path_present INTEGER,subject TEXT,body TEXT,service_center TEXT,"
                      "locked INTEGER DEFAULT 0,";
    sql += modern ? "sub_id INTEGER DEFAULT -1,error_code INTEGER DEFAULT 0,creator TEXT,"
                    "seen INTEGER DEFAULT 0);\n"
                  : "error_code INTEGER DEFAULT 0,seen INTEGER DEFAULT 0);\n";
    sql += "CREATE INDEX typeThreadIdIndex ON sms (type, thread_id);\n";
    if (modern)
        sql += "CREATE INDEX threadIdDateIndex ON sms (thread_id, date);\n";
    sql += "CREATE TABLE threads (_id INTEGER PRIMARY KEY AUTOINCREMENT,date INTEGER DEFAULT 0,"
           "message_count INTEGER DEFAULT 0,recipient_ids TEXT,snippet TEXT,"
           "snippet_cs INTEGER DEFAULT 0,read INTEGER DEFAULT 1,";
    if (modern)
        sql += "archived INTEGER DEFAULT 0,";
    sql += "type INTEGER DEFAULT 0,error INTEGER DEFAULT 0,has_attachment INTEGER DEFAULT 0);\n"
           "CREATE TABLE canonical_addresses (_id INTEGER PRIMARY KEY AUTOINCREMENT,"
           "address TEXT);\n"
           "CREATE TABLE raw (_id INTEGER PRIMARY KEY,date INTEGER,reference_number INTEGER,"
           "count INTEGER,sequence INTEGER,destination_port INTEGER,address TEXT,pdu TEXT);\n"
           "CREATE TABLE pdu (_id INTEGER PRIMARY KEY AUTOINCREMENT,thread_id INTEGER,"
           "date INTEGER,date_sent INTEGER DEFAULT 0,msg_box INTEGER,read INTEGER DEFAULT 0,"
           "m_id TEXT,sub TEXT,sub_cs INTEGER,ct_t TEXT,ct_l TEXT,exp INTEGER,m_cls TEXT,"
           "m_type INTEGER,v INTEGER,m_size INTEGER,pri INTEGER,rr INTEGER,rpt_a INTEGER,"
           "resp_st INTEGER,st INTEGER,tr_id TEXT,retr_st INTEGER,retr_txt TEXT,"
           "retr_txt_cs INTEGER,read_status INTEGER,ct_cls INTEGER,resp_txt TEXT,d_tm INTEGER,"
           "d_rpt INTEGER,locked INTEGER DEFAULT 0,seen INTEGER DEFAULT 0,"
           "text_only INTEGER DEFAULT 0);\n"
           "CREATE TABLE addr (_id INTEGER PRIMARY KEY,msg_id INTEGER,contact_id INTEGER,"
           "address TEXT,type INTEGER,charset INTEGER);\n"
           "CREATE TABLE part (_id INTEGER PRIMARY KEY AUTOINCREMENT,mid INTEGER,seq INTEGER "
           "DEFAULT 0,ct TEXT,name TEXT,chset INTEGER,cd TEXT,fn TEXT,cid TEXT,cl TEXT,"
           "ctt_s INTEGER,ctt_t TEXT,_data TEXT,text TEXT);\n";
    if (g == Generation::Upgraded)
        sql += smsUpgradeSql();
    return sql;
}

std::vector<std::string> initialMimetypes(Generation g) {
    std::vector<std::string> types = {
        "vnd.android.cursor.item/email_v2", "vnd.android.cursor.item/im",
        "vnd.android.cursor.item/nickname", "vnd.android.cursor.item/organization",
        "vnd.android.cursor.item/phone_v2", "vnd.android.cursor.item/sip_address",
        "vnd.android.cursor.item/name",     "vnd.android.cursor.item/postal-address_v2"};
    if (g == Generation::Modern) {
        for (const char* t :
             {"vnd.android.cursor.item/identity", "vnd.android.cursor.item/photo",
              "vnd.android.cursor.item/group_membership", "vnd.android.cursor.item/note",
              "vnd.android.cursor.item/contact_event", "vnd.android.cursor.item/website",
              "vnd.android.cursor.item/relation", "vnd.com.google.cursor.item/contact_misc"})
            types.push_back(t);
    }
    return types;
}

int contactsDbVersion(Generation g) {
    return g == Generation::Old ? 803 : 1600;
}

int smsDbVersion(Generation g) {
    return g == Generation::Old ? 57 : 67;
}

const char* bugleSchemaSql() {
    return "CREATE TABLE conversations(_id INTEGER PRIMARY KEY AUTOINCREMENT, sms_thread_id INT "
           "DEFAULT(0), name TEXT, latest_message_id INT, snippet_text TEXT, subject_text TEXT, "
           "preview_uri TEXT, preview_content_type TEXT, show_draft INT DEFAULT(0), "
           "draft_snippet_text TEXT, draft_subject_text TEXT, draft_preview_uri TEXT, "
           "draft_preview_content_type TEXT, archive_status INT DEFAULT(0), sort_timestamp INT "
           "DEFAULT(0), last_read_timestamp INT DEFAULT(0), icon TEXT, participant_contact_id INT "
           "DEFAULT( -1), participant_lookup_key TEXT, participant_normalized_destination TEXT, "
           "current_self_id TEXT, participant_count INT DEFAULT(0), notification_enabled INT "
           "DEFAULT(1), notification_sound_uri TEXT, notification_vibration INT DEFAULT(1), "
           "include_email_addr INT DEFAULT(0), sms_service_center TEXT);\n"
           "CREATE TABLE participants(_id INTEGER PRIMARY KEY AUTOINCREMENT, sub_id INT "
           "DEFAULT(-1), "
           "sim_slot_id INT DEFAULT(-1), normalized_destination TEXT, send_destination TEXT, "
           "display_destination TEXT, full_name TEXT, first_name TEXT, profile_photo_uri TEXT, "
           "contact_id INT DEFAULT( -1), lookup_key STRING, blocked INT DEFAULT(0), "
           "subscription_color INT DEFAULT(0), subscription_name TEXT, contact_destination TEXT, "
           "UNIQUE (normalized_destination, sub_id) ON CONFLICT FAIL);\n"
           "CREATE TABLE messages (_id INTEGER PRIMARY KEY AUTOINCREMENT, conversation_id INT, "
           "sender_id INT, sent_timestamp INT DEFAULT(0), received_timestamp INT DEFAULT(0), "
           "message_protocol INT DEFAULT(0), message_status INT DEFAULT(0), seen INT DEFAULT(0), "
           "read INT DEFAULT(0), sms_message_uri TEXT, sms_priority INT DEFAULT(0), "
           "sms_message_size INT DEFAULT(0), mms_subject TEXT, mms_transaction_id TEXT, "
           "mms_content_location TEXT, mms_expiry INT DEFAULT(0), raw_status INT DEFAULT(0), "
           "self_id INT, retry_start_timestamp INT DEFAULT(0), FOREIGN KEY (conversation_id) "
           "REFERENCES conversations(_id) ON DELETE CASCADE FOREIGN KEY (sender_id) REFERENCES "
           "participants(_id) ON DELETE SET NULL FOREIGN KEY (self_id) REFERENCES "
           "participants(_id) "
           "ON DELETE SET NULL);\n"
           "CREATE TABLE parts(_id INTEGER PRIMARY KEY AUTOINCREMENT, message_id INT, text TEXT, "
           "uri TEXT, content_type TEXT, width INT DEFAULT(-1), height INT DEFAULT(-1), timestamp "
           "INT, conversation_id INT, FOREIGN KEY (message_id) REFERENCES messages(_id) ON DELETE "
           "CASCADE FOREIGN KEY (conversation_id) REFERENCES conversations(_id) ON DELETE "
           "CASCADE);\n"
           "CREATE TABLE conversation_participants(_id INTEGER PRIMARY KEY AUTOINCREMENT, "
           "conversation_id INT, participant_id INT, UNIQUE (conversation_id,participant_id) ON "
           "CONFLICT FAIL, FOREIGN KEY (conversation_id) REFERENCES conversations(_id) ON DELETE "
           "CASCADE FOREIGN KEY (participant_id) REFERENCES participants(_id));\n"
           "CREATE INDEX index_conversations_sms_thread_id ON conversations(sms_thread_id);\n"
           "CREATE INDEX index_conversations_archive_status ON conversations(archive_status);\n"
           "CREATE INDEX index_conversations_sort_timestamp ON conversations(sort_timestamp);\n"
           "CREATE INDEX index_messages_sort ON messages(conversation_id, message_status, "
           "received_timestamp);\n"
           "CREATE INDEX index_messages_status_seen ON messages(message_status, seen);\n"
           "CREATE INDEX index_parts_message_id ON parts(message_id);\n"
           "CREATE INDEX index_conversation_participants_conversation_id ON "
           "conversation_participants(conversation_id);\n"
           "CREATE TRIGGER parts_TRIGGER AFTER INSERT ON parts FOR EACH ROW BEGIN UPDATE parts SET "
           "timestamp=(SELECT received_timestamp FROM messages WHERE "
           "messages._id=parts.message_id) "
           "WHERE parts._id=NEW._id; END;\n"
           "CREATE TRIGGER messages_TRIGGER AFTER UPDATE OF received_timestamp ON messages FOR "
           "EACH "
           "ROW BEGIN UPDATE parts SET timestamp=NEW.received_timestamp WHERE "
           "parts.message_id=NEW._id; END;\n"
           "CREATE VIEW draft_parts_view AS SELECT * FROM parts LEFT JOIN messages ON "
           "parts.message_id=messages._id WHERE messages.message_status = 3;\n";
}

} // namespace testdata
